// Starts the console: takes the token, loads everything, and refreshes on
// every change the sandbox reports.
import { takeToken, forgetToken, useToken, authorization, get } from './api.js';
import { followChanges } from './changes.js';
import { byId, showError, formatTime } from './dom.js';
import { renderWorkspaces } from './workspaces.js';
import { renderDevices } from './devices.js';
import { initLog, renderLog, wantsRequests } from './log.js';
import { initPlane, renderPlane } from './plane.js';
import { initPushForm, renderPushes, refreshPushPreview } from './pushes.js';
import { initSeeding } from './seeding.js';
import { initBehaviour, renderBehaviour } from './behaviour.js';

const MIN_REFRESH_GAP = 250;  // ms: at most four refreshes a second

let stopChanges = () => {};
let locked = false;

function setStatus(text, kind) {
  const status = byId('live-status');
  status.textContent = text;
  status.className = `status status-${kind}`;
  status.dataset.state = kind;
}

/** No token or a refused one: nothing but the notice stays on the page. */
function lock() {
  if (locked) return;
  locked = true;
  stopChanges();
  forgetToken();
  const main = byId('console');
  main.hidden = true;
  main.remove();  // no data left in the page at all
  byId('auth-notice').hidden = false;
  setStatus('no admin token', 'off');
}

async function load() {
  const [applications, workspaces, subscriptions, users, devices, messages, events, locations, responses, pushes,
    faults, registration, locationBehaviour, requests] = await Promise.all([
    get('/applications'), get('/workspaces'), get('/subscriptions'), get('/users'), get('/devices'), get('/messages'),
    get('/events'), get('/locations'), get('/responses'), get('/pushes'), get('/faults'), get('/registration'),
    get('/locations/behaviour'), wantsRequests() ? get('/requests') : Promise.resolve([]),
  ]);
  const lists = await Promise.all(workspaces.map((ws) => {
    const base = `/workspaces/${encodeURIComponent(ws.clientId)}`;
    return Promise.all([get(`${base}/geofences`), get(`${base}/beacons`)]);
  }));
  const geofences = {};
  const beacons = {};
  workspaces.forEach((ws, i) => {
    [geofences[ws.clientId], beacons[ws.clientId]] = lists[i];
  });
  return { applications, workspaces, subscriptions, users, devices, messages, events, locations, responses, pushes,
    faults, registration, locationBehaviour, requests, geofences, beacons };
}

function render(state) {
  // Each view on its own: one that throws must not blank the others.
  for (const view of [renderWorkspaces, renderDevices, renderLog, renderPlane, renderPushes, renderBehaviour]) {
    try {
      view(state);
    } catch (e) {
      console.error(e);
      showError('global-error', new Error(`A view failed to draw: ${e.message}`));
    }
  }
  refreshPushPreview();
}

let inFlight = false;
let again = false;
let timer = null;
let lastStart = 0;

async function refresh() {
  timer = null;
  if (inFlight) {
    again = true;
    return;
  }
  inFlight = true;
  lastStart = Date.now();
  try {
    const state = await load();
    if (locked) return;
    showError('global-error', null);
    render(state);
    document.body.dataset.refreshed = String(lastStart);
    byId('live-status').title = `refreshed at ${formatTime(Date.now())}`;
  } catch (e) {
    if (!locked) showError('global-error', e);
  } finally {
    inFlight = false;
    if (again && !locked) {
      again = false;
      requestRefresh();
    }
  }
}

/** Coalesces bursts of changes: one refresh at a time, no closer than MIN_REFRESH_GAP. */
function requestRefresh() {
  if (timer || locked) return;
  if (inFlight) {
    again = true;
    return;
  }
  timer = setTimeout(refresh, Math.max(0, lastStart + MIN_REFRESH_GAP - Date.now()));
}

function start() {
  const token = takeToken();
  if (!token) return lock();
  useToken(token, lock);
  byId('console').hidden = false;
  initLog(requestRefresh);
  initPlane();
  initPushForm();
  initSeeding();
  initBehaviour();
  setStatus('connecting…', 'off');
  stopChanges = followChanges({
    headers: authorization,
    onChange: requestRefresh,
    onStatus: (state) => {
      if (state === 'unauthorized') return lock();
      if (state === 'live') setStatus('live', 'live');
      else setStatus('reconnecting…', 'warn');
    },
  });
  requestRefresh();
}

start();
