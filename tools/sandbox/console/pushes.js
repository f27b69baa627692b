// The push outbox and the form that composes a push.
import { el, byId, fillTable, formatTime, json, setCount, showError } from './dom.js';
import { post } from './api.js';

// What the id field of each command names; the library reads it from msgId.
const ID_LABELS = {
  GET_LOC: 'Request id',
  DLT_REGION: 'Geofence region id',
  DLT_BEACON: 'Beacon region id',
  GEO_PUSH: 'Message id',
};

export function renderPushes(state) {
  const { pushes } = state;
  setCount('count-pushes', pushes.length);
  fillTable('pushes-table', pushes.slice().reverse().map((p) => el('tr', {
    'data-testid': 'push-row',
    dataset: { pushId: p.id, delivered: String(p.delivered), token: p.token },
  }, [
    el('td', { text: p.id }),
    el('td', { text: formatTime(p.time) }),
    el('td', {}, [el('div', { class: 'mono', text: p.deviceId }), el('div', { class: 'mono muted', text: p.token })]),
    el('td', {}, el('pre', { class: 'json', text: json(p.payload) })),
    el('td', {}, el('span', {
      class: `badge ${p.delivered ? 'badge-delivered' : 'badge-waiting'}`,
      'data-testid': 'push-state',
      text: p.delivered ? 'collected' : 'waiting',
    })),
  ])), 'No push sent yet');
}

const value = (id) => byId(id).value.trim();

/** The body of POST /pushes that the form describes. */
export function pushBody() {
  const token = byId('push-token').value;
  const clientId = byId('push-workspace').value;
  if (byId('push-kind-message').checked) {
    const fields = { type: 'TXT_MSG' };
    if (value('push-msg-id')) fields.id = value('push-msg-id');
    if (value('push-subject')) fields.subject = value('push-subject');
    if (value('push-text')) fields.text = value('push-text');
    const message = { clientId, fields };
    if (value('push-user')) message.user = value('push-user');
    return { token, message, payload: { aps: { 'content-available': 1 } } };
  }
  const type = byId('push-command').value;
  let msgId = value('push-command-id');
  if (type === 'GEO_PUSH') {
    // The circle travels inside the id: GEOPUSH:<message id>:<lat>:<lon>:<radius>.
    msgId = `GEOPUSH:${msgId}:${value('push-geo-lat')}:${value('push-geo-lon')}:${value('push-geo-radius')}`;
  }
  const payload = { aps: { 'content-available': 1 }, msgId, type, clientId };
  if (value('push-command-subject')) payload.subject = value('push-command-subject');
  return { token, payload };
}

function updateForm() {
  const message = byId('push-kind-message').checked;
  byId('push-message-fields').hidden = !message;
  byId('push-command-fields').hidden = message;
  const type = byId('push-command').value;
  byId('push-geo-fields').hidden = type !== 'GEO_PUSH';
  byId('push-command-id-label').textContent = ID_LABELS[type] || 'Message id';
  byId('push-preview').textContent = json(pushBody());
}

export function initPushForm() {
  const form = byId('push-form');
  form.addEventListener('input', updateForm);
  form.addEventListener('change', updateForm);
  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    showError('error-push', null);
    byId('push-result').textContent = '';
    const body = pushBody();
    if (!body.token) return showError('error-push', new Error('No device registered a push token yet'));
    if (!(body.message ? body.message.clientId : body.payload.clientId)) return showError('error-push', new Error('Choose a workspace'));
    try {
      const push = await post('/pushes', body);
      byId('push-result').textContent = `Push #${push.id} is in the outbox for ${push.deviceId}.`;
    } catch (e) {
      showError('error-push', e);
    }
  });
  updateForm();
}

/** Options of the form's selects changed under it: keep the preview true. */
export const refreshPushPreview = () => {
  byId('push-preview').textContent = json(pushBody());
};
