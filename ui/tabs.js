// The section tabs: one panel visible at a time, arrow keys, Home and End move between tabs
// (the selected tab is the only one in the tab order), and a callback per panel shown/hidden.

export function setUpTabs(tablist, onChange) {
  const tabs = [...tablist.querySelectorAll('[role="tab"]')];
  let current = null;

  function select(tab, { focus = false } = {}) {
    if (tab === current) return;
    const previous = current;
    current = tab;
    for (const t of tabs) {
      const selected = t === tab;
      t.setAttribute('aria-selected', String(selected));
      t.tabIndex = selected ? 0 : -1;
      document.getElementById(t.getAttribute('aria-controls')).hidden = !selected;
    }
    if (focus) tab.focus();
    onChange?.(tab.getAttribute('aria-controls'), previous?.getAttribute('aria-controls') ?? null);
  }

  for (const tab of tabs) tab.addEventListener('click', () => select(tab));

  tablist.addEventListener('keydown', (event) => {
    const index = tabs.indexOf(current);
    const moves = {
      ArrowRight: (index + 1) % tabs.length,
      ArrowLeft: (index - 1 + tabs.length) % tabs.length,
      Home: 0,
      End: tabs.length - 1,
    };
    if (!(event.key in moves)) return;
    event.preventDefault();
    select(tabs[moves[event.key]], { focus: true });
  });

  select(tabs[0]);
  return {
    show(panelId) {
      const tab = tabs.find((t) => t.getAttribute('aria-controls') === panelId);
      if (tab) select(tab);
    },
    current: () => current.getAttribute('aria-controls'),
  };
}
