// The panels beside the tree and the node: messages, a refused change, source lines, and "why".

import { element, fileLink, nodeLink } from './view.js';

const messageKey = (m) => `${m.severity}|${m.node}|${m.text}`;

// The messages of the last evaluation, each with its node and file:line; messages that were not
// there before (`previous`) are marked as new.
export function renderMessages(list, messages, previous, actions) {
  const before = new Set((previous || []).map(messageKey));
  const items = messages.map((message) => {
    const fresh = previous !== null && !before.has(messageKey(message));
    const className = `message severity-${message.severity}${fresh ? ' new' : ''}`;
    const item = element('li', { className },
      element('span', { className: 'severity' }, message.severity),
      ' ', nodeLink(message.node, actions.reveal), ' ',
      message.file ? fileLink(message.file, message.line, actions.source) : '',
      ' ', element('span', { className: 'message-text' }, message.text),
      fresh ? element('span', { className: 'visually-hidden' }, ' (new)') : '');
    return item;
  });
  if (items.length === 0) items.push(element('li', { className: 'muted' }, 'No messages.'));
  list.replaceChildren(...items);
}

// A change the server refused, or a product that cannot be evaluated: where and why.
export function renderProblem(box, title, message, failure, actions) {
  const parts = [element('p', { className: 'problem-title' }, title), element('p', {}, message)];
  if (failure) {
    const where = element('p', {});
    if (failure.file) where.append('At ', fileLink(failure.file, failure.line, actions.source));
    if (failure.node) {
      where.append(' while evaluating node ', nodeLink(failure.node, actions.reveal));
    }
    parts.push(where);
    if (failure.source_line) {
      parts.push(element('pre', { className: 'source-line' }, failure.source_line));
    }
  }
  const close = element('button', { type: 'button' }, 'Dismiss');
  close.addEventListener('click', () => { box.hidden = true; });
  parts.push(close);
  box.replaceChildren(...parts);
  box.hidden = false;
}

export function renderSource(section, answer) {
  const lines = answer.lines.map((line) => element('div',
    { className: line.number === answer.line ? 'source-row here' : 'source-row' },
    element('span', { className: 'line-number' }, String(line.number)),
    element('code', {}, line.text)));
  section.replaceChildren(element('h2', { id: 'source-heading' }, 'Source'),
    element('p', { className: 'muted' }, `${answer.file}:${answer.line}`),
    element('div', { className: 'source-lines' }, ...lines));
  section.hidden = false;
}

// Facts the trail tells step by step already.
const TOLD_BY_TRAIL = new Set(['forced', 'ancestor', 'load_if', 'load_if_reads']);
// Steps whose source line would only repeat their text.
const LINE_IN_TEXT = new Set(['forced', 'load_if']);

// One step of a trail: the node it happened at (when another than the subject), what happened,
// the node it names, and its place with the source line, which opens in the source panel.
function trailStep(step, subject, actions) {
  const item = element('li', { className: `step step-${step.kind}` });
  if (step.node !== subject) item.append(nodeLink(step.node, actions.reveal), ': ');
  item.append(element('span', { className: 'step-text' }, step.text));
  if (step.from_node && step.kind === 'stopped') {
    item.append(' ', nodeLink(step.from_node, actions.reveal));
  }
  const place = step.place;
  if (place && place.file) {
    item.append(element('div', { className: 'step-place' },
      fileLink(place.file, place.line, actions.source, place.text)));
  } else if (place) {
    item.append(element('div', { className: 'step-place muted' }, place.text));
  }
  if (step.source_line && !LINE_IN_TEXT.has(step.kind)) {
    item.append(element('pre', { className: 'source-line' }, step.source_line.trim()));
  }
  return item;
}

// "Why" for a node's state or an option's values: the summary, the trail of steps that led
// there (oldest first), and the facts behind it, each with the file, line or node it comes from.
export function renderWhy(section, answer, actions) {
  const subject = answer.subject.option
    ? `${answer.subject.option} at ${answer.subject.node}` : answer.subject.node;
  const trail = answer.trail || [];
  const parts = [element('h2', { id: 'why-heading' }, 'Why'),
    element('p', { className: 'why-subject' }, subject),
    element('p', { className: 'why-summary' }, answer.summary)];
  if (trail.length > 0) {
    parts.push(element('h3', { id: 'trail-heading' }, 'How it came to be, oldest first'),
      element('ol', { className: 'trail', 'aria-labelledby': 'trail-heading' },
        ...trail.map((step) => trailStep(step, answer.subject.node, actions))));
  }
  const facts = answer.facts
    .filter((fact) => trail.length === 0 || !TOLD_BY_TRAIL.has(fact.topic))
    .map((fact) => element('li', { className: `fact fact-${fact.topic}` },
      fact.text,
      fact.file
        ? element('span', {}, ' (', fileLink(fact.file, fact.line, actions.source), ')') : '',
      fact.node ? element('span', {}, ' → ', nodeLink(fact.node, actions.reveal)) : ''));
  if (facts.length > 0) {
    if (trail.length > 0) parts.push(element('h3', {}, 'About it'));
    parts.push(element('ul', { className: 'facts' }, ...facts));
  }
  section.replaceChildren(...parts);
  section.dataset.revision = String(answer.revision);
}
