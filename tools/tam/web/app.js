// The configurator page: loads the product, keeps the tree, the node panel, the messages and the
// side panels in step with the server, and sends the person's changes. After each change it
// shows what changed and notes how long the change took from the person's action to the updated
// page (body data-last-change-ms, and in the status line); then the why panel, when it shows
// something, is asked again.

import * as api from './api.js';
import { renderNode } from './options.js';
import { renderMessages, renderProblem, renderSource, renderWhy } from './panels.js';
import { ProductTree } from './tree.js';

const $ = (id) => document.getElementById(id);

const page = {
  product: null,
  modules: {},
  revision: -1,
  messages: null,
  selected: null,
  changedOptions: new Map(),  // node path -> Set of module:option changed by the last change
  why: null,  // { node, option } the why panel shows, asked again after every change
};

const actions = { set: setValue, clear: clearValue, why: showWhy, source: showSource, reveal };
let tree = null;

function showProblem(title, message, failure) {
  renderProblem($('problem'), title, message, failure || null, actions);
}

function plural(count, word) {
  return `${count} ${word}${count === 1 ? '' : 's'}`;
}

function showCommon(answer) {
  renderMessages($('messages'), answer.messages, page.messages, actions);
  page.messages = answer.messages;
  const s = answer.summary;
  $('summary').textContent = s
    ? `${plural(s.nodes, 'node')}: ${s.configured} configured, ` +
      `${s.not_configured} not configured, ${s.undecided} undecided · ` +
      `${plural(s.errors, 'error')}, ${plural(s.warnings, 'warning')}, ` +
      `${plural(s.informs, 'inform')}`
    : 'not evaluated';
  const history = answer.history;
  $('undo').disabled = !history.can_undo;
  $('undo').title = history.undo ? `Undo: ${history.undo}` : 'Nothing to undo';
  $('redo').disabled = !history.can_redo;
  $('redo').title = history.redo ? `Redo: ${history.redo}` : 'Nothing to redo';
  $('save').disabled = !answer.unsaved;
  $('unsaved').hidden = !answer.unsaved;
  if (answer.failure) {
    showProblem('The product cannot be evaluated with the host values chosen now',
      `${answer.failure.message}. Change a value to repair it.`, answer.failure);
  }
  document.body.dataset.revision = String(answer.revision);
}

async function loadProduct() {
  const answer = await api.getProduct();
  page.product = answer.product;
  page.modules = answer.modules;
  page.revision = answer.revision;
  page.changedOptions = new Map();
  $('product-name').textContent = answer.product.name || answer.product.file;
  $('product-file').textContent = answer.product.file;
  document.title = `${answer.product.name || answer.product.file} · tam serve`;
  tree.load(answer.nodes);
  showCommon(answer);
  const known = page.selected && tree.indexOf(page.selected) >= 0;
  const path = known ? page.selected : answer.nodes[0].path;
  if (!page.selected) tree.reveal(path); else await showNode(path);
}

async function showNode(path) {
  page.selected = path;
  const answer = await api.getNode(path);
  if (page.selected !== path) return;  // another node was chosen meanwhile
  drawNode(answer.node);
}

function drawNode(node) {
  renderNode($('node'), node, page.modules[node.module], page.product,
    page.changedOptions.get(node.path) || new Set(), actions);
}

function select(path, focusPanel) {
  showNode(path).then(() => {
    if (focusPanel) $('node').focus();
  }).catch(failed);
}

// Sends one change and brings the page up to date with what it changed.
async function change(send, errorLine) {
  const started = performance.now();
  let answer;
  try {
    answer = await send();
  } catch (e) {
    if (!(e instanceof api.ApiError)) throw e;
    if (errorLine && e.code !== 'evaluation_failed') {
      // The field keeps what was typed, with the reason it was refused beside it.
      errorLine.textContent = e.message;
      return;
    }
    const title = e.code === 'evaluation_failed' ? 'The change was not made'
      : 'The request was refused';
    showProblem(title, e.message, e.failure);
    await showNode(page.selected);  // the inputs show the values in force again
    return;
  }
  if (!answer.failure) $('problem').hidden = true;
  const unchanged = answer.revision === page.revision;
  if (answer.reload || (!unchanged && answer.revision !== page.revision + 1)) {
    await loadProduct();
  } else {
    page.revision = answer.revision;
    if (!unchanged) {
      tree.update(answer.changed);
      page.changedOptions =
        new Map(answer.changed.map((n) => [n.path, new Set(n.changed_options)]));
    }
    showCommon(answer);
    if (answer.node && answer.node.path === page.selected) drawNode(answer.node);
    else await showNode(page.selected);
  }
  const elapsed = performance.now() - started;
  const states = answer.changed.filter((n) => n.state_changed).length;
  $('status').textContent = unchanged ? 'Nothing changed.'
    : `${plural(answer.changed.length, 'node')} changed (${plural(states, 'state')}); ` +
      `evaluated and shown in ${elapsed.toFixed(1)} ms.`;
  document.body.dataset.lastChangeMs = elapsed.toFixed(1);
  // The why panel follows the change, after the change is shown.
  if (page.why && !unchanged) showWhy(page.why.node, page.why.option);
}

function setValue(node, option, values, how, errorLine) {
  change(() => api.setValue(node, option, values, how, page.selected), errorLine).catch(failed);
}

function clearValue(node, option, errorLine) {
  change(() => api.clearValue(node, option, page.selected), errorLine).catch(failed);
}

async function saveProduct() {
  try {
    const answer = await api.save();
    $('status').textContent = answer.saved
      ? `Saved ${plural(answer.written, 'host value')} to ${answer.file}.` : 'Nothing to save.';
    if (answer.warning) showProblem('Saved, with a warning', answer.warning);
    if (answer.reload) {
      await loadProduct();
      if (page.why) showWhy(page.why.node, page.why.option);  // lines in the file moved
    }
  } catch (e) {
    if (!(e instanceof api.ApiError)) throw e;
    showProblem('Not saved', e.message);
  }
}

// Shows why in its panel, and notes how long that took (body data-last-why-ms).
function showWhy(node, option) {
  const started = performance.now();
  page.why = { node, option };
  api.getWhy(node, option).then((answer) => {
    if (page.why && page.why.node === node && page.why.option === option) {
      renderWhy($('why'), answer, actions);
      document.body.dataset.lastWhyMs = (performance.now() - started).toFixed(1);
    }
  }).catch((e) => {
    page.why = null;
    failed(e);
  });
}

function showSource(file, line) {
  api.getSource(file, line).then((answer) => {
    renderSource($('source'), answer);
    $('source').scrollIntoView({ block: 'nearest' });
  }).catch(failed);
}

function reveal(path) {
  tree.reveal(path);
  $('tree').focus({ preventScroll: true });
}

function failed(e) {
  showProblem('Something went wrong', e.message || String(e));
}

function typing(target) {
  return target.closest('input, select, textarea') !== null;
}

function start() {
  tree = new ProductTree($('tree'), select);
  $('undo').addEventListener('click', () => change(() => api.undo(page.selected)).catch(failed));
  $('redo').addEventListener('click', () => change(() => api.redo(page.selected)).catch(failed));
  $('save').addEventListener('click', () => saveProduct().catch(failed));
  $('find').addEventListener('submit', (event) => {
    event.preventDefault();
    const found = tree.find($('find-text').value.trim());
    if (found) reveal(found); else $('status').textContent = 'No node matches.';
  });
  document.addEventListener('keydown', (event) => {
    if (!(event.ctrlKey || event.metaKey) || typing(event.target)) return;
    const key = event.key.toLowerCase();
    if (key === 'z' && !event.shiftKey && !$('undo').disabled) $('undo').click();
    else if ((key === 'z' && event.shiftKey) || key === 'y') {
      if (!$('redo').disabled) $('redo').click();
    }
    else if (key === 's') $('save').click();
    else return;
    event.preventDefault();
  });
  if (!api.hasToken()) {
    showProblem('This page needs its token',
      'Open the address that tam serve printed when it started: it ends with ?token=…');
    return;
  }
  loadProduct().then(() => {
    // From the start of the page's navigation to the product shown.
    document.body.dataset.loadMs = performance.now().toFixed(1);
    document.body.dataset.ready = 'true';
  }).catch((e) => {
    showProblem('The product cannot be shown', e.message || String(e));
  });
}

start();
