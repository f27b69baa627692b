// Registered users, their devices' push tokens and the queued messages.
import { el, fillTable, setCount, setOptions, byId } from './dom.js';

export function renderDevices(state) {
  const { users, devices, messages } = state;

  setCount('count-users', users.length);
  fillTable('users-table', users.map((u) => el('tr', { 'data-testid': 'user-row', dataset: { deviceId: u.deviceId } }, [
    el('td', { text: u.userId }),
    el('td', { class: 'mono', text: u.publicId }),
    el('td', { class: 'mono', text: u.deviceId }),
    el('td', { class: u.validated ? 'ok' : 'warn', text: u.validated ? 'yes' : 'no' }),
  ])), 'No user registered yet');

  setCount('count-devices', devices.length);
  fillTable('devices-table', devices.map((d) => el('tr', { 'data-testid': 'device-row', dataset: { deviceId: d.deviceId, token: d.pushToken } }, [
    el('td', { class: 'mono', text: d.deviceId }),
    el('td', { class: 'mono', text: d.publicId }),
    el('td', { class: 'mono', text: d.pushToken }),
  ])), 'No device registered a push token yet');

  setCount('count-messages', messages.length);
  fillTable('messages-table', messages.slice().reverse().map((m) => el('tr', { 'data-testid': 'message-row' }, [
    el('td', { class: 'mono', text: m.fields.id ?? '' }),
    el('td', { class: 'mono', text: m.clientId }),
    el('td', { text: m.user }),
    el('td', { text: m.fields.subject ?? '' }),
    el('td', { text: m.fields.text ?? '' }),
  ])), 'No message queued');

  setOptions(byId('push-token'), devices.map((d) => ({
    value: d.pushToken,
    label: `${userOf(users, d) ?? 'no user'} on ${d.deviceId.slice(0, 8)}… (${d.publicId}): ${d.pushToken}`,
  })));
}

function userOf(users, device) {
  const user = users.find((u) => u.deviceId === device.deviceId && u.publicId === device.publicId);
  return user ? user.userId : null;
}
