// The live log: what arrived at the service, newest first.
import { el, byId, formatTime, setCount, setOptions } from './dom.js';

// Shown elsewhere in the entry or the same on every event of a device.
const QUIET_KEYS = new Set(['deviceid', 'eventtype']);
const MAX_ENTRIES = 400;

let last = null;

export function initLog(onRequestsToggle) {
  byId('log-filter-type').addEventListener('change', () => last && renderLog(last));
  byId('log-filter-device').addEventListener('change', () => last && renderLog(last));
  byId('log-show-requests').addEventListener('change', onRequestsToggle);
}

export const wantsRequests = () => byId('log-show-requests').checked;

/** Every record as one entry: {time, kind, device, title, details: [[key, value]]}. */
export function logEntries(state) {
  const entries = [];
  for (const e of state.events) {
    const get = (key) => (e.query.find(([k]) => k === key) || [])[1];
    entries.push({
      time: e.time,
      kind: 'event',
      device: get('deviceid') ?? null,
      title: get('eventtype') ?? '(no type)',
      details: e.query.filter(([k]) => !QUIET_KEYS.has(k)),
    });
  }
  for (const l of state.locations) {
    const region = l.operation === 'notifyRegionEvent';
    const details = [['operation', l.operation], ['latitude', l.latitude], ['longitude', l.longitude], ['workspace', l.clientId]];
    if (region) details.push(['region', l.region], ['regionType', l.regionType], ['app', l.appName]);
    else details.push(['requestId', l.requestId]);
    details.push(['timeStamp', l.timeStamp]);
    entries.push({
      time: l.time,
      kind: region ? 'region' : 'location',
      device: l.deviceId,
      title: region ? `${l.regionType ?? 'REGION'} ${l.status ?? ''} ${l.region ?? ''}`.trim() : `position for ${l.requestId ?? '(no request)'}`,
      details: details.filter(([, v]) => v !== null && v !== undefined),
    });
  }
  for (const r of state.responses) {
    entries.push({
      time: r.time,
      kind: 'response',
      device: null,
      title: `response from ${r.sender} to ${r.clientId}`,
      details: [['text', r.text ?? `(not Base64) ${r.encodedText}`], ['app', r.appName]],
    });
  }
  for (const q of state.requests || []) {
    entries.push({
      time: q.time,
      kind: 'request',
      device: null,
      title: `${q.status} ${q.operation || q.path.split('?')[0]}`,
      details: [['path', q.path], ['signature', q.signatureOk === null ? 'not checked' : q.signatureOk ? 'good' : 'bad']],
    });
  }
  // Stable for equal times: the order of arrival within a kind stays.
  return entries.map((e, i) => [e, i]).sort((a, b) => b[0].time - a[0].time || b[1] - a[1]).map(([e]) => e);
}

export function renderLog(state) {
  last = state;
  const entries = logEntries(state);
  const devices = [...new Set(entries.map((e) => e.device).filter(Boolean))].sort();
  const deviceSelect = byId('log-filter-device');
  setOptions(deviceSelect, devices.map((d) => ({ value: d, label: d })), 'all');
  const type = byId('log-filter-type').value;
  const device = deviceSelect.value;
  const shown = entries.filter((e) => (!type || e.kind === type) && (!device || e.device === device));
  setCount('count-log', shown.length === entries.length ? entries.length : `${shown.length} of ${entries.length}`);
  const items = shown.slice(0, MAX_ENTRIES).map((e) => el('li', {
    class: `log-entry kind-${e.kind}`,
    'data-testid': 'log-entry',
    dataset: { kind: e.kind, device: e.device ?? '' },
  }, [
    el('div', { class: 'log-head' }, [
      el('time', { text: formatTime(e.time) }),
      el('span', { class: `badge badge-${e.kind}`, text: e.kind }),
      el('strong', { class: 'log-title', text: e.title }),
      e.device ? el('span', { class: 'mono muted', text: e.device }) : null,
    ]),
    e.details.length ? el('dl', { class: 'params' }, e.details.flatMap(([k, v]) => [el('dt', { text: k }), el('dd', { text: v })])) : null,
  ]));
  if (!items.length) items.push(el('li', { class: 'empty', text: entries.length ? 'Nothing matches the filters' : 'Nothing arrived yet' }));
  if (shown.length > MAX_ENTRIES) items.push(el('li', { class: 'empty', text: `${shown.length - MAX_ENTRIES} older entries not shown` }));
  byId('log').replaceChildren(...items);
}
