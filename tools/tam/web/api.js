// The serve API as the page uses it: every request carries the token from the page's address,
// answers are JSON, and a refusal becomes an ApiError with the server's code and message.

const token = new URLSearchParams(window.location.search).get('token') || '';

export class ApiError extends Error {
  constructor(status, error) {
    super(error.message);
    this.status = status;
    this.code = error.code;
    this.failure = error.failure || null;
  }
}

async function request(method, path, body) {
  const options = { method, headers: { 'X-Tam-Token': token } };
  if (method === 'POST') {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(body || {});
  }
  const response = await fetch(path, options);
  let answer;
  try {
    answer = await response.json();
  } catch (e) {
    throw new ApiError(response.status,
      { code: 'bad_answer', message: 'the server answered no JSON' });
  }
  if (!response.ok) throw new ApiError(response.status, answer.error || {});
  return answer;
}

function query(path, params) {
  return path + '?' + new URLSearchParams(params).toString();
}

export const hasToken = () => token !== '';
export const getProduct = () => request('GET', '/api/product');
export const getNode = (path) => request('GET', query('/api/node', { path }));
export const getWhy = (node, option) =>
  request('GET', query('/api/why', option ? { node, option } : { node }));
export const getSource = (file, line) => request('GET', query('/api/source', { file, line }));
// Changes name the node the page shows as "focus": the answer then holds it, up to date.
export const setValue = (node, option, values, how, focus) =>
  request('POST', '/api/set', { node, option, values, how, focus });
export const clearValue = (node, option, focus) =>
  request('POST', '/api/clear', { node, option, focus });
export const undo = (focus) => request('POST', '/api/undo', { focus });
export const redo = (focus) => request('POST', '/api/redo', { focus });
export const save = () => request('POST', '/api/save');
