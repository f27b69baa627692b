// The admin token and the calls to the admin API.

const STORAGE_KEY = 'quorvela-console-token';

/** The token from the address fragment (then kept and hidden) or from an earlier visit in this tab. */
export function takeToken() {
  const fragment = new URLSearchParams(window.location.hash.slice(1));
  const fromUrl = fragment.get('token');
  if (fromUrl) {
    sessionStorage.setItem(STORAGE_KEY, fromUrl);
    // A shared screenshot or copied address must not carry the token.
    fragment.delete('token');
    const rest = fragment.toString();
    history.replaceState(null, '', window.location.pathname + window.location.search + (rest ? '#' + rest : ''));
    return fromUrl;
  }
  return sessionStorage.getItem(STORAGE_KEY);
}

export function forgetToken() {
  sessionStorage.removeItem(STORAGE_KEY);
}

export class ApiError extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}

let token = null;
let onUnauthorized = () => {};

export function useToken(value, unauthorized) {
  token = value;
  onUnauthorized = unauthorized;
}

export function authorization() {
  return { Authorization: 'Bearer ' + token };
}

/** Calls the admin API; resolves with the parsed reply, rejects with an ApiError carrying the reply's error text. */
export async function call(method, path, body) {
  const headers = authorization();
  const init = { method, headers, cache: 'no-store' };
  if (body !== undefined) {
    headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  let response;
  try {
    response = await fetch(path, init);
  } catch (e) {
    throw new ApiError(0, 'The sandbox does not answer (' + e.message + ')');
  }
  const text = await response.text();
  let reply = null;
  if (text) {
    try {
      reply = JSON.parse(text);
    } catch {
      reply = null;
    }
  }
  if (response.status === 401) onUnauthorized();
  if (!response.ok) {
    const message = reply && typeof reply.error === 'string' ? reply.error : `${method} ${path} answered ${response.status}`;
    throw new ApiError(response.status, message);
  }
  return reply;
}

export const get = (path) => call('GET', path);
export const put = (path, body) => call('PUT', path, body);
export const post = (path, body) => call('POST', path, body);
