// The selected node's panel: its state and why, and each option of its module with the values
// selected at the node, how each was set, the option's description and allowed values, and an
// input fitting the option's type and constraints to choose a host value with its HowSet.

import { element, fileLink, valueText } from './view.js';

const HOW_CHOICES = [
  ['host', 'the node\'s set and fix rules may replace it'],
  ['host_firm', 'set and fix rules keep it'],
  ['host_forced', 'it replaces values from above, even fixed ones'],
];

// Renders the panel into `pane`. `actions` holds set(node, option, values, how),
// clear(node, option), why(node, option), source(file, line) and reveal(path).
export function renderNode(pane, node, meta, product, changedOptions, actions) {
  const heading = element('h2', { id: 'node-heading' }, node.path);
  const state = element('p', { className: `node-state state-${node.state}` },
    element('span', { className: 'badge' }, node.state.replace('_', ' ')), ' ', node.reason || '');
  const facts = element('p', { className: 'muted' },
    node.module ? `Module ${node.module}`
      : 'No module: the values of the node above pass on unchanged',
    node.line ? ' · in ' : '',
    node.line ? fileLink(product.file, node.line, actions.source) : '');
  const whyButton =
    element('button', { type: 'button', className: 'why-button' }, 'Why this state?');
  whyButton.addEventListener('click', () => actions.why(node.path, null));
  const parts = [heading, state, facts, whyButton];
  if (meta && meta.error) parts.push(element('p', { className: 'problem-text' }, meta.error));
  if (node.options.length > 0) {
    const list = element('ul', { className: 'options', 'aria-label': `Options of ${node.path}` });
    const byName = new Map((meta ? meta.options : []).map((option) => [option.option, option]));
    for (const option of node.options) {
      const info = byName.get(option.option);
      if (!info) continue;
      list.append(optionRow(node, option, info, changedOptions.has(option.option), actions));
    }
    const legend = element('p', { className: 'small muted' }, 'How set: ',
      ...HOW_CHOICES.flatMap(([value, meaning], i) =>
        [i > 0 ? '; ' : '', element('span', { className: `how how-${value}` }, value),
          ` ${meaning}`]));
    parts.push(legend, list);
  }
  pane.replaceChildren(...parts);
}

function optionRow(node, option, info, changed, actions) {
  const id = `option-${info.option.replace(/[^A-Za-z0-9_-]/g, '-')}`;
  const row = element('li', { className: changed ? 'option changed' : 'option', id });
  const name = element('label', { className: 'option-name', htmlFor: `${id}-input` },
    info.name,
    info.description ? element('span', { className: 'description' }, ` ${info.description}`) : '');
  const kind = info.kind === 'declared' ? '' : `${info.kind} ${info.base}`;
  const about = element('p', { className: 'muted small' },
    `${info.type}${info.multiple ? ', several values' : ''}${info.mandatory ? ', mandatory' : ''}`,
    ` · allowed: ${info.allowed_text}`, kind ? ` · ${kind}` : '');

  const current = element('p', { className: 'values' });
  if (option.values.length === 0) {
    current.append(element('span', { className: 'muted' }, 'no value: the node is not configured'));
  }
  for (const value of option.values) {
    current.append(element('span', { className: 'value' }, valueText(value.value)),
      ' ', element('span', { className: `how how-${value.how}` }, value.how), ' ');
  }
  if (changed) current.append(element('span', { className: 'visually-hidden' }, ' (changed)'));

  const error = element('p', { className: 'field-error', id: `${id}-error`, role: 'alert' });
  const editor = element('div', { className: 'editor' });
  const howSelect = element('select', { id: `${id}-how`, className: 'how-select' });
  for (const [value, meaning] of HOW_CHOICES) {
    howSelect.append(element('option', { value, title: meaning }, value));
  }
  howSelect.value = option.host ? option.host.how : 'host';
  const howLabel = element('label', { htmlFor: `${id}-how`, className: 'small' }, 'How set');

  const input = inputFor(info, option, `${id}-input`);
  input.element.setAttribute('aria-describedby', `${id}-error`);
  // A group of checkboxes is named by its legend; a label names one control only.
  if (input.element.tagName === 'FIELDSET') name.htmlFor = '';
  const apply = (values) => {
    error.textContent = '';
    if (values === null) return;
    if (values.length === 0) {
      if (option.host) actions.clear(node.path, info.option, error);
      return;
    }
    actions.set(node.path, info.option, values, howSelect.value, error);
  };
  input.onChange(() => apply(input.values()));
  howSelect.addEventListener('change', () => {
    if (option.host) apply(option.host.values);
  });
  editor.append(input.element, howLabel, howSelect);
  if (option.host) {
    const clear = element('button', { type: 'button', className: 'clear' }, 'Clear');
    clear.setAttribute('aria-label', `Clear the host value of ${info.option}`);
    clear.addEventListener('click', () => actions.clear(node.path, info.option, error));
    editor.append(clear);
  }
  const why = element('button', { type: 'button', className: 'why-button' }, 'Why?');
  why.setAttribute('aria-label', `Why does ${info.option} have this value?`);
  why.addEventListener('click', () => actions.why(node.path, info.option));
  editor.append(why);

  const host = element('p', { className: 'small host-line' });
  if (option.host) {
    const chosen = option.host.values.map(valueText).join(', ');
    host.append(`Host value here: ${chosen} (${option.host.how})`,
      option.host.saved ? ', saved' : ', not saved yet');
  }
  row.append(name, about, current, editor, host, error);
  return row;
}

// The input for an option: a checkbox for a logical option, a select for a list of values, a set
// of checkboxes for several values from a list, a number input with its bounds, or a text field.
// values() answers the values to set (an empty list: none), or null when nothing may be set.
function inputFor(info, option, id) {
  const chosen = option.host ? option.host.values : option.values.map((v) => v.value);
  const listed = info.allowed.length > 0 && info.allowed.every((a) => a.kind === 'value')
    ? info.allowed.map((a) => a.value) : null;

  if (info.type === 'logical' && !info.multiple) {
    const box = element('input', { type: 'checkbox', id });
    box.checked = chosen[0] === true;
    return {
      element: box,
      onChange: (f) => box.addEventListener('change', f),
      values: () => [box.checked],
    };
  }
  if (listed && info.multiple) {
    const group = element('fieldset', { id, className: 'choices' },
      element('legend', { className: 'visually-hidden' }, `${info.option} values`));
    const boxes = listed.map((value, i) => {
      const box = element('input', { type: 'checkbox', id: `${id}-${i}` });
      box.checked = chosen.some((c) => c === value);
      group.append(element('label', { htmlFor: box.id }, box, ` ${valueText(value)}`));
      return [box, value];
    });
    return {
      element: group,
      onChange: (f) => group.addEventListener('change', f),
      values: () => boxes.filter(([box]) => box.checked).map(([, value]) => value),
    };
  }
  if (listed) {
    const select = element('select', { id });
    for (const value of listed) {
      select.append(element('option', { value: JSON.stringify(value) }, valueText(value)));
    }
    if (chosen.length > 0) select.value = JSON.stringify(chosen[0]);
    return {
      element: select,
      onChange: (f) => select.addEventListener('change', f),
      values: () => [JSON.parse(select.value)],
    };
  }
  const numeric = info.type === 'integer' || info.type === 'real';
  const field = element('input', { id, type: numeric ? 'number' : 'text', autocomplete: 'off' });
  if (numeric) {
    field.step = info.type === 'integer' ? '1' : 'any';
    for (const bound of info.allowed) {
      if (bound.kind === 'range') { field.min = String(bound.min); field.max = String(bound.max); }
      if (bound.kind === 'at_least') field.min = String(bound.value);
      if (bound.kind === 'at_most') field.max = String(bound.value);
    }
  }
  const shown = chosen.length > 0 && chosen[0] !== null;
  field.value = shown ? chosen.join(info.multiple ? ', ' : '') : '';
  return {
    element: field,
    onChange: (f) => field.addEventListener('change', f),
    values: () => {
      const text = field.value.trim();
      if (text === '') return [];
      // Values typed as text are read by the server, typed by the option.
      if (!info.multiple) return [text];
      return text.split(',').map((part) => part.trim()).filter((part) => part !== '');
    },
  };
}
