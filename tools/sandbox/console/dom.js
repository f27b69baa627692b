// Small helpers to build the page's elements.

const SVG_NS = 'http://www.w3.org/2000/svg';

function fill(node, attrs, children) {
  for (const [key, value] of Object.entries(attrs || {})) {
    if (value === undefined || value === null || value === false) continue;
    if (key === 'text') node.textContent = value;
    else if (key === 'class') node.setAttribute('class', value);
    else if (key === 'dataset') Object.assign(node.dataset, value);
    else if (key.startsWith('on')) node.addEventListener(key.slice(2), value);
    else node.setAttribute(key, value === true ? '' : String(value));
  }
  for (const child of [].concat(children || [])) {
    if (child === null || child === undefined || child === false) continue;
    node.append(child instanceof Node ? child : String(child));
  }
  return node;
}

export const el = (tag, attrs, children) => fill(document.createElement(tag), attrs, children);
export const svg = (tag, attrs, children) => fill(document.createElementNS(SVG_NS, tag), attrs, children);

export const byId = (id) => document.getElementById(id);

/** Replaces the table body's rows; a placeholder row when there are none. */
export function fillTable(tableId, rows, emptyText) {
  const table = byId(tableId);
  const body = table.tBodies[0];
  const columns = table.tHead.rows[0].cells.length;
  if (!rows.length) {
    body.replaceChildren(el('tr', { class: 'empty' }, el('td', { colspan: columns, text: emptyText })));
    return;
  }
  body.replaceChildren(...rows);
}

export function setCount(id, n) {
  byId(id).textContent = n === null ? '' : `(${n})`;
}

/** A secret's place: never its value, only how long it is. */
export function masked(secret) {
  if (secret === null || secret === undefined || secret === '') return el('span', { class: 'muted', text: 'none' });
  return el('span', { class: 'masked', title: 'hidden', text: `•••• (${String(secret).length} characters)` });
}

export function formatTime(ms) {
  if (typeof ms !== 'number') return '';
  const d = new Date(ms);
  const pad = (n, w = 2) => String(n).padStart(w, '0');
  return `${pad(d.getHours())}:${pad(d.getMinutes())}:${pad(d.getSeconds())}.${pad(d.getMilliseconds(), 3)}`;
}

export function json(value) {
  return JSON.stringify(value, null, 1);
}

/** Shows (or with null clears) an error next to the form that caused it. */
export function showError(id, error) {
  const node = byId(id);
  if (!node) return;
  node.textContent = error ? (error.message || String(error)) : '';
}

/** Sets a select's options and keeps the chosen value when it is still offered. */
export function setOptions(select, options, placeholder) {
  const kept = select.value;
  const nodes = options.map(({ value, label }) => el('option', { value, text: label }));
  if (placeholder) nodes.unshift(el('option', { value: '', text: placeholder }));
  select.replaceChildren(...nodes);
  if (options.some((o) => o.value === kept) || (placeholder && kept === '')) select.value = kept;
}
