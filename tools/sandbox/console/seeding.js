// The forms that seed geofences, beacons, Wi-Fi beacons and messages.
import { el, byId, showError } from './dom.js';
import { get, post, put } from './api.js';

function fieldsOf(form) {
  const data = {};
  for (const [key, value] of new FormData(form)) data[key] = typeof value === 'string' ? value.trim() : value;
  return data;
}

function coordinate(text, name, limit) {
  const value = Number(text);
  if (text === '' || !Number.isFinite(value) || Math.abs(value) > limit) {
    throw new Error(`${name} must be a number between -${limit} and ${limit}`);
  }
  return value;
}

/** Puts the entry into a workspace's list: the list is replaced whole, so read it, change it, write it. */
async function upsert(list, clientId, entry) {
  const path = `/workspaces/${encodeURIComponent(clientId)}/${list}`;
  const current = await get(path);
  const at = current.findIndex((e) => e.regionId === entry.regionId);
  if (at >= 0) current[at] = entry;
  else current.push(entry);
  await put(path, current);
  return at >= 0 ? 'replaced' : 'added';
}

function geofenceEntry(form) {
  const f = fieldsOf(form);
  const radius = Number(f.radius);
  if (!(radius > 0)) throw new Error('The radius must be a positive number of metres');
  const entry = {
    regionId: f.regionId,
    name: f.name,
    latitude: coordinate(f.latitude, 'The latitude', 90),
    longitude: coordinate(f.longitude, 'The longitude', 180),
    radius,
    eventType: f.eventType,
    activated: form.elements.activated.checked ? 'true' : 'false',
    clientId: f.clientId,
  };
  if (f.msgTitle) entry.msgTitle = f.msgTitle;
  return entry;
}

function beaconEntry(form) {
  const f = fieldsOf(form);
  const entry = { regionId: f.regionId, name: f.name, type: 'BEACON', uuid: f.uuid };
  if (f.major) entry.major = f.major;
  if (f.minor) entry.minor = f.minor;
  entry.eventType = f.eventType;
  entry.clientId = f.clientId;
  if (f.latitude || f.longitude) {
    entry.latitude = coordinate(f.latitude, 'The latitude', 90);
    entry.longitude = coordinate(f.longitude, 'The longitude', 180);
  }
  return entry;
}

function wifiEntry(form) {
  const f = fieldsOf(form);
  // The network name goes in uuid, as the host reads it.
  return { regionId: f.regionId, name: f.name, type: 'WIFI_BEACON', uuid: f.uuid, eventType: f.eventType, clientId: f.clientId };
}

function messageBody(form) {
  const f = fieldsOf(form);
  const fields = {};
  for (const key of ['id', 'type', 'subject', 'text']) if (f[key]) fields[key] = f[key];
  return { clientId: f.clientId, user: f.user, fields };
}

function wire(formId, errorId, action) {
  const form = byId(formId);
  const ok = el('p', { class: 'form-ok', role: 'status', 'data-testid': `ok-${formId}` });
  byId(errorId).after(ok);
  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    showError(errorId, null);
    ok.textContent = '';
    try {
      ok.textContent = await action(form);
    } catch (e) {
      showError(errorId, e);
    }
  });
}

export function initSeeding() {
  wire('geofence-form', 'error-geofence', async (form) => {
    const entry = geofenceEntry(form);
    return `Geofence ${entry.regionId} ${await upsert('geofences', entry.clientId, entry)} in ${entry.clientId}`;
  });
  wire('beacon-form', 'error-beacon', async (form) => {
    const entry = beaconEntry(form);
    return `Beacon ${entry.regionId} ${await upsert('beacons', entry.clientId, entry)} in ${entry.clientId}`;
  });
  wire('wifi-form', 'error-wifi', async (form) => {
    const entry = wifiEntry(form);
    return `Wi-Fi beacon ${entry.regionId} ${await upsert('beacons', entry.clientId, entry)} in ${entry.clientId}`;
  });
  wire('message-form', 'error-message', async (form) => {
    const stored = await post('/messages', messageBody(form));
    return `Message ${stored.fields.id} queued for ${stored.user}`;
  });
}
