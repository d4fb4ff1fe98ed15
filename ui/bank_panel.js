// The sample bank panel: loads a bank from a folder or a hosted URL with its SHA-256, shows
// the bank state the plug-in reports ("norvo.bankState": instrument, positionings, presets,
// pad overrides) and says every failure in words. This product's engine refuses every bank,
// so a bank that loads correctly still ends in a refusal; the panel says so plainly and quotes
// the plug-in's own report of the refusal from its health report.

import { byId, el, fill } from './dom.js';

const ERROR_TEXT = {
  'bank-missing': 'No bank was found there: the folder, its bank.json, an asset or the instrument document could not be read.',
  'bank-hash-mismatch': 'An asset of the bank differs from its manifest (size or SHA-256), so the bank was not loaded.',
  'bank-malformed': 'A document of the bank is not valid: not JSON, the wrong format, or required entries missing.',
  'bank-unsupported-codec': 'An asset of the bank is not a WAV file the loader can decode.',
  'bank-too-large':
    "The bank loaded correctly, but Chord's engine refused it: Chord plays no samples and has no room for any bank.",
  'bank-instrument-unknown': 'The bank has no instrument or kit with the requested id.',
  'bank-fetch-failed': 'The hosted bank could not be downloaded, or its download did not match the SHA-256.',
  missing: 'The request did not reach the plug-in’s processor, so no bank was loaded.',
};

// Words for a bank state's "error" block.
export function bankErrorText(code) {
  return ERROR_TEXT[code] ?? `The bank was refused (${code}).`;
}

const SHA256 = /^[0-9a-fA-F]{64}$/;

// Checks the form before anything is sent; returns the message fields or the problems found.
export function readBankForm(fields) {
  const errors = [];
  const instrument = fields.instrument.trim();
  if (fields.source === 'hosted') {
    const url = fields.url.trim();
    const sha256 = fields.sha256.trim();
    if (!/^https?:\/\/\S+$/i.test(url)) errors.push('Enter the bank’s URL (https://…).');
    if (!SHA256.test(sha256)) errors.push('The SHA-256 must be 64 hexadecimal digits.');
    return { errors, message: { source: 'hosted', url, sha256: sha256.toLowerCase(), instrument } };
  }
  const bankPath = fields.bankPath.trim();
  if (bankPath === '') errors.push('Enter the path of the bank’s folder.');
  return { errors, message: { source: 'user-folder', bankPath, instrument } };
}

// The newest health-report entry about a refused runtime bank load with this outcome.
export function refusalReport(report, code) {
  const entries = Array.isArray(report?.diagnostics) ? report.diagnostics : [];
  const prefix = `runtime bank load refused (${code})`;
  for (let i = entries.length - 1; i >= 0; i -= 1) {
    const message = entries[i]?.message;
    if (typeof message === 'string' && message.startsWith(prefix)) return message;
  }
  return null;
}

function padCount(pads) {
  return pads && typeof pads === 'object' ? Object.keys(pads).length : 0;
}

export function setUpBankPanel(link) {
  const form = byId('bank-form');
  const error = byId('bank-error');
  const result = byId('bank-result');
  const details = byId('bank-details');
  const presets = byId('bank-presets');
  const presetsEmpty = byId('bank-presets-empty');
  const pick = byId('bank-pick');
  const fields = {
    bankPath: byId('bank-path'),
    url: byId('bank-url'),
    sha256: byId('bank-sha'),
    instrument: byId('bank-instrument'),
  };
  let state = null;
  let report = null;

  const source = () => form.querySelector('input[name="bank-source"]:checked').value;

  function showSourceFields() {
    for (const node of form.querySelectorAll('[data-source]')) node.hidden = node.dataset.source !== source();
  }

  function renderResult() {
    if (!state) {
      fill(result, 'No bank loaded.');
      return;
    }
    if (state.error) {
      const { code, requestedId } = state.error;
      const quoted = refusalReport(report, code);
      fill(
        result,
        el(
          'p',
          { class: 'refusal' },
          el('strong', {}, 'Refused: '),
          el('code', { class: 'error-code' }, code),
          requestedId ? ` (${requestedId})` : '',
        ),
        el('p', {}, bankErrorText(code)),
        quoted ? el('p', { class: 'quoted' }, `The plug-in reports: ${quoted}`) : null,
      );
      return;
    }
    fill(result, state.runtime ? 'Bank loaded.' : 'No bank loaded.');
  }

  function renderState() {
    renderResult();
    const runtime = state?.runtime;
    const rows = [];
    if (runtime) {
      rows.push(['Source', runtime.source], ['From', runtime.locator]);
      if (runtime.instrument) {
        rows.push(['Instrument', `${runtime.instrument.name} (${runtime.instrument.id}, ${runtime.instrument.list})`]);
      }
    }
    const pads = padCount(state?.pads);
    if (pads > 0) rows.push(['Pad overrides', String(pads)]);
    fill(
      details,
      rows.length ? el('dl', { class: 'facts' }, rows.map(([t, d]) => [el('dt', {}, t), el('dd', {}, d)])) : null,
      runtime?.positionings?.length
        ? [
            el('h3', {}, 'Instruments and kits in the bank'),
            el(
              'ul',
              { class: 'positionings' },
              runtime.positionings.map((p) => el('li', {}, `${p.name} (${p.id}, ${p.list})`)),
            ),
          ]
        : null,
    );
    const items = state?.presets?.bankScoped ? state.presets.items ?? [] : [];
    presetsEmpty.hidden = items.length > 0;
    fill(
      presets,
      items.map((preset) =>
        el(
          'li',
          {},
          el(
            'button',
            {
              type: 'button',
              onclick: () => link.send('norvo.loadBankPreset', { id: preset.id }),
            },
            `Choose ${preset.name}`,
          ),
          el(
            'span',
            { class: 'preset-params' },
            Object.entries(preset.params ?? {})
              .map(([k, v]) => `${k} ${v}`)
              .join(', '),
          ),
        ),
      ),
    );
  }

  for (const radio of form.querySelectorAll('input[name="bank-source"]')) {
    radio.addEventListener('change', showSourceFields);
  }
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    const { errors, message } = readBankForm({
      source: source(),
      bankPath: fields.bankPath.value,
      url: fields.url.value,
      sha256: fields.sha256.value,
      instrument: fields.instrument.value,
    });
    error.textContent = errors.join(' ');
    if (errors.length > 0) return;
    fill(result, 'Loading…');
    link.send('norvo.loadBank', message);
  });
  pick.addEventListener('click', () => {
    error.textContent = '';
    link.send('norvo.pickFolder');
  });

  link.on('norvo.folderPicked', (message) => {
    if (message.ok && typeof message.path === 'string') {
      fields.bankPath.value = message.path;
      fields.bankPath.focus();
    } else if (message.cancelled) {
      error.textContent = '';
    } else {
      error.textContent = `Choosing a folder failed: ${message.error ?? 'no reason given'}.`;
    }
  });
  link.on('norvo.bankState', (message) => {
    state = message;
    renderState();
  });
  link.on('norvo.hello', (hello) => {
    report = hello.runtimeHealth ?? null;
    link.send('norvo.getBankState');
  });
  link.on('norvo.runtimeDiagnostics', (message) => {
    report = message.report ?? null;
    renderResult();
  });

  showSourceFields();
  renderState();
}
