// Applications, workspaces and who subscribed to them.
import { el, fillTable, masked, setCount, setOptions } from './dom.js';

export function renderWorkspaces(state) {
  const { applications, workspaces, subscriptions, geofences, beacons } = state;

  setCount('count-applications', applications.length);
  fillTable('applications-table', applications.map((app) => el('tr', { 'data-testid': 'application-row', dataset: { publicId: app.publicId } }, [
    el('td', { text: app.appName }),
    el('td', { class: 'mono', text: app.publicId }),
    el('td', {}, masked(app.privateKey)),
    el('td', { class: 'mono', text: app.defaultWorkspace ?? '—' }),
  ])), 'No application yet');

  setCount('count-workspaces', workspaces.length);
  fillTable('workspaces-table', workspaces.map((ws) => {
    const defaultOf = applications.filter((a) => a.defaultWorkspace === ws.clientId).map((a) => a.appName);
    const subscribers = subscriptions.filter((s) => s.clientId === ws.clientId).map((s) => s.userId);
    const fences = (geofences[ws.clientId] || []).length;
    const bluetooth = (beacons[ws.clientId] || []).filter((b) => b.type !== 'WIFI_BEACON').length;
    const wifi = (beacons[ws.clientId] || []).filter((b) => b.type === 'WIFI_BEACON').length;
    return el('tr', { 'data-testid': 'workspace-row', dataset: { clientId: ws.clientId } }, [
      el('td', { class: 'mono', text: ws.clientId }),
      el('td', { text: ws.name }),
      el('td', {}, masked(ws.publicKey)),
      el('td', { class: 'mono', text: ws.callbackURL ?? '—' }),
      el('td', { text: defaultOf.join(', ') || '—' }),
      el('td', { text: subscribers.join(', ') || '—' }),
      el('td', { text: `${fences} geofences, ${bluetooth} beacons, ${wifi} Wi-Fi` }),
    ]);
  }), 'No workspace yet');

  setCount('count-subscriptions', subscriptions.length);
  fillTable('subscriptions-table', subscriptions.map((s) => el('tr', { 'data-testid': 'subscription-row' }, [
    el('td', { text: s.userId }),
    el('td', { text: s.appName }),
    el('td', { class: 'mono', text: s.clientId }),
  ])), 'Nobody joined a workspace yet');

  const choices = workspaces.map((ws) => ({ value: ws.clientId, label: `${ws.name} (${ws.clientId})` }));
  for (const select of document.querySelectorAll('select.workspace-select')) setOptions(select, choices);
}
