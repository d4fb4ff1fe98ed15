// The diagnostics panel: the runtime health report, the host's facts and their changes, the
// lifecycle feed and the plug-in's identity. The lifecycle feed is subscribed while the panel
// is open ("norvo.diag.subscribe" replays the log, later events arrive one by one) and
// unsubscribed when it closes.

import { byId, definitionList, el, fill } from './dom.js';

const LIFECYCLE_LIMIT = 256;
const HOST_CHANGES_LIMIT = 64;

const STATUS_TEXT = {
  healthy: 'Healthy: nothing has gone wrong.',
  degraded: 'Degraded: warnings were recorded or diagnostics were lost.',
  failed: 'Failed: an error was recorded.',
};

function valueText(value) {
  if (value === null) return 'unknown';
  if (typeof value === 'boolean') return value ? 'yes' : 'no';
  if (Array.isArray(value) || typeof value === 'object') return JSON.stringify(value);
  return String(value);
}

function busesText(buses) {
  if (!Array.isArray(buses) || buses.length === 0) return 'no audio buses';
  return buses
    .map((b) => `${b.id} ${b.direction} ${b.channels} ch${b.active ? '' : ' (inactive)'}${b.layout ? ` ${b.layout}` : ''}`)
    .join('; ');
}

// Host facts as [label, text] rows, in the order the plug-in writes them.
export function hostRows(host) {
  if (!host) return [];
  return [
    ['Host', host.hostName],
    ['Host version', host.hostVersion],
    ['Host path', host.hostPath],
    ['Validator', host.validatorHost],
    ['Sample rate', host.sampleRate === undefined ? undefined : `${valueText(host.sampleRate)} Hz`],
    ['Largest block', host.maxBlockFrames === undefined ? undefined : `${host.maxBlockFrames} frames`],
    ['Last block', host.lastBlockFrames === undefined ? undefined : `${host.lastBlockFrames} frames`],
    ['Process mode', host.processMode],
    ['Sample size', host.sampleSize === undefined ? undefined : `${host.sampleSize} bit`],
    ['Latency', host.latencySamples === undefined ? undefined : `${host.latencySamples} samples`],
    ['Tail', host.tailSamples],
    ['Internal rate', host.internalSampleRate === undefined ? undefined : `${valueText(host.internalSampleRate)} Hz`],
    ['Buses', host.buses === undefined ? undefined : busesText(host.buses)],
    ['Bypassed', host.bypassed === undefined ? undefined : valueText(host.bypassed)],
  ];
}

function detailText(detail) {
  if (!detail || typeof detail !== 'object') return '';
  return Object.entries(detail)
    .map(([k, v]) => `${k} ${valueText(v)}`)
    .join(', ');
}

// Merges lifecycle events into a list ordered by sequence number, each sequence once, keeping
// the newest LIFECYCLE_LIMIT.
export function mergeLifecycle(known, incoming) {
  const bySeq = new Map(known.map((e) => [e.seq, e]));
  for (const event of incoming) if (typeof event?.seq === 'number') bySeq.set(event.seq, event);
  return [...bySeq.values()].sort((a, b) => a.seq - b.seq).slice(-LIFECYCLE_LIMIT);
}

export function setUpStatusPanel(link) {
  const healthSummary = byId('health-summary');
  const healthList = byId('health-list');
  const hostFacts = byId('host-facts');
  const hostChanges = byId('host-changes');
  const hostChangesEmpty = byId('host-changes-empty');
  const lifecycleList = byId('lifecycle-list');
  const identity = byId('identity');

  let host = null;
  let changes = [];
  let lifecycle = [];
  let lifecycleDropped = 0;
  let subscribed = false;

  function renderHealth(report) {
    if (!report || typeof report !== 'object') {
      healthSummary.textContent = 'No health report yet.';
      fill(healthList);
      return;
    }
    const counters = report.counters ?? {};
    healthSummary.textContent =
      `${STATUS_TEXT[report.status] ?? `Status ${report.status}.`} ` +
      `Lifecycle ${report.lifecycle}; ${counters.diagnostics ?? 0} diagnostics, ${counters['diagnostics.dropped'] ?? 0} dropped.`;
    fill(
      healthList,
      (report.diagnostics ?? []).map((d) =>
        el(
          'li',
          { class: `severity-${d.severity}` },
          el('strong', {}, `${d.severity} `),
          el('code', {}, d.code),
          ` in ${d.phase}: ${d.message}`,
          d.context?.detail ? ` (${d.context.detail})` : '',
          d.sequence === report.firstError?.sequence ? ' — first error' : '',
        ),
      ),
    );
  }

  function renderHost() {
    definitionList(hostFacts, host ? hostRows(host) : [['Host', 'not reported yet (the plug-in reports it once processing is set up)']]);
    hostChangesEmpty.hidden = changes.length > 0;
    fill(
      hostChanges,
      changes.map((c) =>
        el('li', {}, `${c.event?.kind ?? 'changed'}: `, Object.entries(c.host).map(([k, v]) => `${k} ${valueText(v)}`).join(', ')),
      ),
    );
  }

  function renderLifecycle() {
    fill(
      lifecycleList,
      lifecycleDropped > 0 ? el('li', { class: 'dropped' }, `${lifecycleDropped} older events were overwritten`) : null,
      lifecycle.map((e) =>
        el(
          'li',
          { 'data-kind': e.kind },
          el('span', { class: 'seq' }, `#${e.seq} `),
          el('strong', {}, e.kind),
          ` at ${typeof e.timeMs === 'number' ? `${Math.round(e.timeMs)} ms` : 'unknown time'}`,
          typeof e.atFrame === 'number' ? `, frame ${e.atFrame}` : '',
          e.detail ? ` — ${detailText(e.detail)}` : '',
        ),
      ),
    );
  }

  function renderIdentity(hello) {
    const id = hello.identity ?? {};
    const plugin = hello.plugin ?? {};
    const preset = hello.presetState ?? {};
    definitionList(identity, [
      ['Plug-in', plugin.name ? `${plugin.name} ${plugin.version ?? ''}`.trim() : id.name],
      ['Vendor', plugin.vendor ?? id.vendor],
      ['Plug-in id', plugin.id],
      ['Module id', id.moduleId],
      ['Format', id.target],
      ['Build', id.build ? `${id.build.mode}, ${id.build.configuration}` : undefined],
      ['Page built', id.ui?.buildTime],
      ['Page revision', id.ui?.sourceRevision],
      ['Page SHA-256', id.ui?.sha256],
      ['State', id.state ? `version ${id.state.version}, at most ${id.state.maxBytes} bytes` : undefined],
      ['Current preset', preset.currentName ? `${preset.currentName} (${preset.currentId})` : undefined],
      ['Last state size', typeof preset.lastStateBytes === 'number' ? `${preset.lastStateBytes} bytes` : undefined],
    ]);
  }

  link.on('norvo.hello', (hello) => {
    renderHealth(hello.runtimeHealth);
    host = hello.host ?? null;
    renderHost();
    renderIdentity(hello);
  });
  link.on('norvo.runtimeDiagnostics', (message) => renderHealth(message.report));
  link.on('norvo.hostChanged', (message) => {
    if (!message.host || typeof message.host !== 'object') return;
    host = { ...(host ?? {}), ...message.host };
    changes = [...changes, message].slice(-HOST_CHANGES_LIMIT);
    renderHost();
  });
  link.on('norvo.lifecycle', (message) => {
    if (!Array.isArray(message.events)) return;
    lifecycle = mergeLifecycle(lifecycle, message.events);
    if (typeof message.dropped === 'number') lifecycleDropped = Math.max(lifecycleDropped, message.dropped);
    renderLifecycle();
  });

  renderHealth(null);
  renderHost();

  return {
    // Called when the panel is shown (true) or hidden (false).
    setOpen(open) {
      if (open === subscribed) return;
      subscribed = open;
      if (open) link.send('norvo.diag.subscribe', { feeds: ['lifecycle'], hz: 30 });
      else link.send('norvo.diag.unsubscribe');
    },
    isSubscribed: () => subscribed,
  };
}
