// Small helpers for building the page's elements.

// element('p', { className: 'x' }, 'text', child, ...): properties are set as properties, except
// aria-*, role and data-* which are attributes.
export function element(tag, properties = {}, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(properties)) {
    const attribute = key.startsWith('aria-') || key === 'role' || key.startsWith('data-');
    if (attribute) node.setAttribute(key, value); else node[key] = value;
  }
  for (const child of children) {
    if (child === null || child === undefined || child === '') continue;
    node.append(child);
  }
  return node;
}

// A value as a person reads it: strings in quotes, nothing as "unset".
export function valueText(value) {
  if (value === null || value === undefined) return 'unset';
  return typeof value === 'string' ? JSON.stringify(value) : String(value);
}

// A button showing file:line (or `label`, such as file:line:column) that opens the lines around
// it.
export function fileLink(file, line, open, label) {
  const text = label || (line ? `${file}:${line}` : file);
  const button = element('button', { type: 'button', className: 'link' }, text);
  button.setAttribute('aria-label', `Show ${text}`);
  button.addEventListener('click', () => open(file, line || 1));
  return button;
}

// A button naming a node that selects it in the tree.
export function nodeLink(path, reveal) {
  const button = element('button', { type: 'button', className: 'link' }, path);
  button.setAttribute('aria-label', `Go to node ${path}`);
  button.addEventListener('click', () => reveal(path));
  return button;
}
