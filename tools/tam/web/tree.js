// The product tree: a keyboard-navigable tree (the WAI-ARIA tree pattern) that renders only the
// rows in view, so that a product of thousands of nodes stays quick. The tree element keeps the
// focus and names the active row with aria-activedescendant; rows are laid out absolutely at
// index * ROW_HEIGHT inside a spacer as tall as all visible rows.

const ROW_HEIGHT = 28;          // px, as in style.css (.tree-row)
const OVERSCAN = 10;            // rows rendered above and below the view
const EXPAND_ALL_UP_TO = 300;   // products this small open fully
const INDENT = 16;              // px per level
const TYPE_AHEAD_MS = 700;      // letters typed closer together than this spell one prefix

// What a node's cause reads as at a glance.
const GLANCE = {
  load_if_true: 'load_if true',
  load_if_false: 'load_if false',
  load_if_undecided: 'load_if undecided',
  forced_configured: 'forced on',
  forced_not_configured: 'forced off',
  ancestor_not_configured: 'parent off',
  no_load_if: '',
  not_evaluated: 'not evaluated',
};

export class ProductTree {
  constructor(element, onSelect) {
    this.element = element;
    this.space = element.querySelector('.tree-space');
    this.onSelect = onSelect;
    this.nodes = [];
    this.visible = [];
    this.position = new Map();  // index -> row in visible
    this.rootList = [];
    this.byPath = new Map();
    this.expanded = new Set();
    this.active = -1;      // index of the active node
    this.selected = -1;
    this.changed = new Map();  // index -> 'values' | 'state'
    this.typed = '';
    this.typedAt = 0;
    this.frame = 0;
    element.addEventListener('scroll', () => this.schedule());
    element.addEventListener('keydown', (event) => this.key(event));
    element.addEventListener('click', (event) => this.click(event));
    element.addEventListener('focus', () => {
      if (this.active < 0 && this.visible.length > 0) this.activate(this.visible[0], false);
      this.schedule();
    });
    new ResizeObserver(() => this.schedule()).observe(element);
  }

  // Takes the product's nodes (depth first, as the API lists them). Expansion and selection are
  // kept by path when the product is loaded again.
  load(nodes) {
    const expandedPaths = new Set([...this.expanded].map((i) => this.nodes[i].path));
    const selectedPath = this.selected >= 0 ? this.nodes[this.selected].path : null;
    const activePath = this.active >= 0 ? this.nodes[this.active].path : null;
    const fresh = this.nodes.length === 0;
    this.nodes = nodes.map((node) => ({ ...node, children: [], parent: -1, depth: 0 }));
    this.byPath = new Map();
    this.rootList = [];
    const stack = [];
    this.nodes.forEach((node, index) => {
      node.depth = node.path.split('.').length - 1;
      stack.length = node.depth;
      node.parent = node.depth > 0 ? stack[node.depth - 1] : -1;
      const siblings = node.parent >= 0 ? this.nodes[node.parent].children : this.rootList;
      node.position = siblings.length;
      siblings.push(index);
      stack.push(index);
      this.byPath.set(node.path, index);
    });
    this.expanded = new Set();
    this.nodes.forEach((node, index) => {
      if (node.children.length === 0) return;
      const open = fresh ? (nodes.length <= EXPAND_ALL_UP_TO || node.depth === 0)
                         : expandedPaths.has(node.path);
      if (open) this.expanded.add(index);
    });
    this.selected = selectedPath !== null ? this.indexOf(selectedPath) : -1;
    this.active = activePath !== null ? this.indexOf(activePath) : -1;
    this.changed.clear();
    this.layout();
  }

  indexOf(path) { return this.byPath.has(path) ? this.byPath.get(path) : -1; }
  node(index) { return this.nodes[index]; }

  // Updates nodes from a change's answer and marks them until the next change.
  update(changedNodes) {
    this.changed.clear();
    for (const item of changedNodes) {
      const index = this.indexOf(item.path);
      if (index < 0) continue;
      Object.assign(this.nodes[index], item);
      this.changed.set(index, item.state_changed ? 'state' : 'values');
    }
    this.schedule();
  }

  // The visible rows: every node whose ancestors are all expanded.
  layout() {
    this.visible = [];
    this.position = new Map();
    const walk = (index) => {
      this.position.set(index, this.visible.length);
      this.visible.push(index);
      if (!this.expanded.has(index)) return;
      for (const child of this.nodes[index].children) walk(child);
    };
    // Product trees nest at most 100 deep, so this recursion is bounded.
    for (const root of this.rootList) walk(root);
    this.space.style.height = `${this.visible.length * ROW_HEIGHT}px`;
    this.schedule();
  }

  schedule() {
    if (this.frame) return;
    this.frame = requestAnimationFrame(() => { this.frame = 0; this.render(); });
  }

  render() {
    const top = this.element.scrollTop;
    const height = this.element.clientHeight || ROW_HEIGHT * 20;
    const first = Math.max(0, Math.floor(top / ROW_HEIGHT) - OVERSCAN);
    const last = Math.min(this.visible.length, Math.ceil((top + height) / ROW_HEIGHT) + OVERSCAN);
    const rows = [];
    for (let at = first; at < last; at++) rows.push(this.row(this.visible[at], at));
    // The active row must exist for aria-activedescendant, even when scrolled away.
    const activeAt = this.position.get(this.active);
    if (activeAt !== undefined && (activeAt < first || activeAt >= last)) {
      rows.push(this.row(this.active, activeAt));
    }
    this.space.replaceChildren(...rows);
    if (this.active >= 0 && this.position.has(this.active)) {
      this.element.setAttribute('aria-activedescendant', `tree-node-${this.active}`);
    } else {
      this.element.removeAttribute('aria-activedescendant');
    }
  }

  row(index, at) {
    const node = this.nodes[index];
    const row = document.createElement('div');
    row.id = `tree-node-${index}`;
    row.className = `tree-row state-${node.state}`;
    row.setAttribute('role', 'treeitem');
    row.setAttribute('aria-level', String(node.depth + 1));
    row.setAttribute('aria-selected', String(index === this.selected));
    const siblings = node.parent >= 0 ? this.nodes[node.parent].children : this.rootList;
    row.setAttribute('aria-setsize', String(siblings.length));
    row.setAttribute('aria-posinset', String(node.position + 1));
    const open = this.expanded.has(index);
    if (node.children.length > 0) row.setAttribute('aria-expanded', String(open));
    if (index === this.active) row.classList.add('active');
    if (index === this.selected) row.classList.add('selected');
    const change = this.changed.get(index);
    if (change) row.classList.add(change === 'state' ? 'changed-state' : 'changed');
    row.dataset.index = String(index);
    row.style.top = `${at * ROW_HEIGHT}px`;
    row.style.paddingLeft = `${node.depth * INDENT + 4}px`;

    const toggle = document.createElement('span');
    toggle.className = 'toggle';
    toggle.setAttribute('aria-hidden', 'true');
    toggle.textContent = node.children.length === 0 ? '' : (open ? '▾' : '▸');
    const dot = document.createElement('span');
    dot.className = 'dot';
    dot.setAttribute('aria-hidden', 'true');
    const name = document.createElement('span');
    name.className = 'name';
    name.textContent = node.id;
    const state = document.createElement('span');
    state.className = 'visually-hidden';
    state.textContent = `, ${node.state.replace('_', ' ')}`;
    const glance = document.createElement('span');
    glance.className = 'glance';
    glance.textContent = GLANCE[node.cause] || '';
    glance.title = node.reason || '';
    row.title = `${node.path}: ${node.state.replace('_', ' ')}. ${node.reason || ''}`;
    const module = document.createElement('span');
    module.className = 'module';
    module.textContent = node.module || '';
    row.append(toggle, dot, name, state, module, glance);
    if (node.host_values > 0) {
      const host = document.createElement('span');
      host.className = 'host-mark';
      host.title = 'host values chosen here';
      host.textContent = '●';
      host.setAttribute('aria-label', `${node.host_values} host values`);
      row.append(host);
    }
    if (change) {
      const mark = document.createElement('span');
      mark.className = 'visually-hidden';
      mark.textContent = change === 'state' ? ', state changed' : ', values changed';
      row.append(mark);
    }
    return row;
  }

  click(event) {
    const row = event.target.closest('.tree-row');
    if (!row) return;
    const index = Number(row.dataset.index);
    if (event.target.classList.contains('toggle')) this.toggle(index);
    this.activate(index, true);
    this.element.focus({ preventScroll: true });
  }

  toggle(index, open) {
    if (this.nodes[index].children.length === 0) return;
    const opening = open === undefined ? !this.expanded.has(index) : open;
    if (opening) this.expanded.add(index); else this.expanded.delete(index);
    this.layout();
  }

  // Makes a node the active row, scrolls it into view, and selects it when asked.
  activate(index, select) {
    this.active = index;
    this.scrollTo(index);
    if (select && index !== this.selected) {
      this.selected = index;
      this.onSelect(this.nodes[index].path);
    }
    this.schedule();
  }

  // Opens every node above `path`, makes it active and selects it.
  reveal(path) {
    let index = this.indexOf(path);
    if (index < 0) return;
    for (let up = this.nodes[index].parent; up >= 0; up = this.nodes[up].parent) {
      this.expanded.add(up);
    }
    this.layout();
    this.activate(index, true);
  }

  scrollTo(index) {
    const at = this.position.get(index);
    if (at === undefined) return;
    const top = at * ROW_HEIGHT;
    const view = this.element.clientHeight;
    if (top < this.element.scrollTop) {
      this.element.scrollTop = top;
    } else if (top + ROW_HEIGHT > this.element.scrollTop + view) {
      this.element.scrollTop = top + ROW_HEIGHT - view;
    }
  }

  key(event) {
    if (this.visible.length === 0) return;
    const at = this.position.has(this.active) ? this.position.get(this.active) : 0;
    const current = this.visible[at];
    const node = this.nodes[current];
    const page = Math.max(1, Math.floor(this.element.clientHeight / ROW_HEIGHT) - 1);
    const last = this.visible.length - 1;
    const go = (pos) => this.activate(this.visible[Math.max(0, Math.min(last, pos))], true);
    switch (event.key) {
      case 'ArrowDown': go(at + 1); break;
      case 'ArrowUp': go(at - 1); break;
      case 'PageDown': go(at + page); break;
      case 'PageUp': go(at - page); break;
      case 'Home': go(0); break;
      case 'End': go(this.visible.length - 1); break;
      case 'ArrowRight':
        if (node.children.length === 0) return;
        if (!this.expanded.has(current)) this.toggle(current, true);
        else this.activate(node.children[0], true);
        break;
      case 'ArrowLeft':
        if (node.children.length > 0 && this.expanded.has(current)) this.toggle(current, false);
        else if (node.parent >= 0) this.activate(node.parent, true);
        else return;
        break;
      case 'Enter':
      case ' ':
        this.activate(current, true);
        this.onSelect(node.path, true);
        break;
      case '*':
        const siblings = node.parent >= 0 ? this.nodes[node.parent].children : this.rootList;
        for (const sibling of siblings) {
          if (this.nodes[sibling].children.length > 0) this.expanded.add(sibling);
        }
        this.layout();
        break;
      default:
        if (event.key.length !== 1 || event.ctrlKey || event.metaKey || event.altKey) return;
        this.typeAhead(event.key, at);
        break;
    }
    event.preventDefault();
  }

  // Typing jumps to the next visible node whose id starts with what was typed; letters typed
  // in quick succession spell one prefix, and one letter typed again moves on to the next match.
  typeAhead(key, at) {
    const now = performance.now();
    const letter = key.toLowerCase();
    this.typed = now - this.typedAt < TYPE_AHEAD_MS ? this.typed + letter : letter;
    this.typedAt = now;
    const repeated = [...this.typed].every((c) => c === this.typed[0]);
    const prefix = repeated ? this.typed[0] : this.typed;
    const begin = prefix.length > 1 ? at : at + 1;
    for (let step = 0; step < this.visible.length; step++) {
      const candidate = this.visible[(begin + step) % this.visible.length];
      if (this.nodes[candidate].id.toLowerCase().startsWith(prefix)) {
        this.activate(candidate, true);
        return;
      }
    }
  }

  // The next node after the active one whose path contains `text`.
  find(text) {
    const wanted = text.toLowerCase();
    const start = this.active >= 0 ? this.active + 1 : 0;
    for (let step = 0; step < this.nodes.length; step++) {
      const index = (start + step) % this.nodes.length;
      if (this.nodes[index].path.toLowerCase().includes(wanted)) return this.nodes[index].path;
    }
    return null;
  }
}
