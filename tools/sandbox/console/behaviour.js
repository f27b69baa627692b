// How the sandbox answers: faults per operation, registration and location reports.
import { el, byId, fillTable, showError } from './dom.js';
import { put } from './api.js';

// The operations that honour PUT /faults.
export const FAULT_OPERATIONS = ['getPendingMessages', 'getMessage', 'sendResponse', 'getGeoFences', 'getBeacons',
  'getWorkspaces', 'joinWorkspace', 'detachWorkspace'];
const FAULTS = ['', 'malformed', 'html', 'drop'];
const FAULT_LABELS = { '': 'normal reply', malformed: 'malformed: truncated XML', html: 'html: 500 error page', drop: 'drop: connection closes' };

// While someone edits the registration form, a refresh must not overwrite what they have not applied yet.
const busy = (form) => form.dataset.dirty === 'true';

export function initBehaviour() {
  fillTable('faults-table', FAULT_OPERATIONS.map((operation) => el('tr', { 'data-testid': 'fault-row', dataset: { operation } }, [
    el('td', { class: 'mono', text: operation }),
    el('td', {}, el('select', {
      'data-testid': `fault-${operation}`,
      id: `fault-${operation}`,
      'aria-label': `Fault of ${operation}`,
      onchange: async (event) => {
        showError('error-faults', null);
        try {
          await put('/faults', { operation, fault: event.target.value || null });
        } catch (e) {
          showError('error-faults', e);
        }
      },
    }, FAULTS.map((f) => el('option', { value: f, text: FAULT_LABELS[f] })))),
  ])), '');
  byId('faults-form').addEventListener('submit', (event) => event.preventDefault());

  const registration = byId('registration-form');
  registration.addEventListener('input', () => { registration.dataset.dirty = 'true'; });
  registration.addEventListener('submit', async (event) => {
    event.preventDefault();
    showError('error-registration', null);
    const malformed = [...registration.querySelectorAll('input[name="malformed"]:checked')].map((c) => c.value);
    try {
      await put('/registration', {
        registerMode: byId('registration-mode').value,
        validationCode: byId('registration-code').value.trim(),
        malformed,
      });
      registration.dataset.dirty = 'false';
    } catch (e) {
      showError('error-registration', e);
    }
  });

  const locationForm = byId('location-behaviour-form');
  locationForm.addEventListener('submit', (event) => event.preventDefault());
  byId('location-mode').addEventListener('change', async (event) => {
    showError('error-location-behaviour', null);
    try {
      await put('/locations/behaviour', { mode: event.target.value });
    } catch (e) {
      showError('error-location-behaviour', e);
    }
  });
}

export function renderBehaviour(state) {
  // These switches apply at once, so they hold nothing unsaved: always show the sandbox's state.
  for (const operation of FAULT_OPERATIONS) byId(`fault-${operation}`).value = state.faults[operation] || '';
  // Names no operation honours are stored all the same: say so.
  const others = Object.entries(state.faults).filter(([op]) => !FAULT_OPERATIONS.includes(op));
  byId('faults-others').textContent = others.length ? `Also set, without effect: ${others.map(([op, f]) => `${op} ${f}`).join(', ')}` : '';
  const registration = byId('registration-form');
  if (!busy(registration)) {
    byId('registration-mode').value = state.registration.registerMode;
    byId('registration-code').value = state.registration.validationCode;
    for (const box of registration.querySelectorAll('input[name="malformed"]')) box.checked = state.registration.malformed.includes(box.value);
    registration.dataset.dirty = 'false';
  }
  byId('location-mode').value = state.locationBehaviour.mode;
}
