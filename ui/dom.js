// Small DOM helpers shared by the panels.

// el('li', {class: 'x', 'data-note': 60}, 'text', child): attributes set with setAttribute,
// except `on<event>` (listeners) and `text`; children may be strings, nodes, null or arrays.
export function el(tag, attributes = {}, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(attributes)) {
    if (value === null || value === undefined || value === false) continue;
    if (key.startsWith('on') && typeof value === 'function') {
      node.addEventListener(key.slice(2), value);
    } else {
      node.setAttribute(key, value === true ? '' : String(value));
    }
  }
  append(node, children);
  return node;
}

function append(node, children) {
  for (const child of children) {
    if (child === null || child === undefined || child === false) continue;
    if (Array.isArray(child)) append(node, child);
    else node.append(child instanceof Node ? child : String(child));
  }
}

export function byId(id) {
  const node = document.getElementById(id);
  if (!node) throw new Error(`the page has no element #${id}`);
  return node;
}

// Replaces every child of `node`.
export function fill(node, ...children) {
  node.replaceChildren();
  append(node, children);
}

// A definition list from [term, description] pairs; descriptions that are null are left out.
export function definitionList(node, pairs) {
  fill(
    node,
    pairs
      .filter(([, value]) => value !== null && value !== undefined && value !== '')
      .map(([term, value]) => [el('dt', {}, term), el('dd', {}, String(value))]),
  );
}
