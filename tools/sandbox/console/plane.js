// The plane view: geofences, placed beacons, the reported positions as a
// track and the region events on it, in an equirectangular projection
// around the data's centre. No tiles: the page works offline.
import { el, svg, byId, setCount, formatTime, showError } from './dom.js';
import { get, put } from './api.js';

const WIDTH = 720;
const HEIGHT = 440;
const PAD = 28;
const METRES_PER_DEGREE = 6371008.8 * Math.PI / 180;
const MIN_SPAN = 200;  // metres: a single point still gets a readable scale

const number = (v) => (v === null || v === undefined || v === '' ? NaN : Number(v));
const finite = (...values) => values.every(Number.isFinite);

/** A projection fitted to the given points ({lat, lon, r?} with r in metres). */
export function fitProjection(points) {
  const placed = points.filter((p) => finite(p.lat, p.lon));
  let lat0 = 0;
  let lon0 = 0;
  if (placed.length) {
    const lats = placed.map((p) => p.lat);
    const lons = placed.map((p) => p.lon);
    lat0 = (Math.min(...lats) + Math.max(...lats)) / 2;
    lon0 = (Math.min(...lons) + Math.max(...lons)) / 2;
  }
  const cos = Math.cos(lat0 * Math.PI / 180);
  const toMetres = (lat, lon) => ({ x: (lon - lon0) * cos * METRES_PER_DEGREE, y: (lat - lat0) * METRES_PER_DEGREE });
  let minX = -MIN_SPAN / 2, maxX = MIN_SPAN / 2, minY = -MIN_SPAN / 2, maxY = MIN_SPAN / 2;
  for (const p of placed) {
    const { x, y } = toMetres(p.lat, p.lon);
    const r = Number.isFinite(p.r) ? p.r : 0;
    minX = Math.min(minX, x - r); maxX = Math.max(maxX, x + r);
    minY = Math.min(minY, y - r); maxY = Math.max(maxY, y + r);
  }
  const cx = (minX + maxX) / 2;
  const cy = (minY + maxY) / 2;
  const scale = Math.min((WIDTH - 2 * PAD) / (maxX - minX), (HEIGHT - 2 * PAD) / (maxY - minY));  // px per metre
  return {
    lat0, lon0, scale,
    toView(lat, lon) {
      const { x, y } = toMetres(lat, lon);
      return { x: WIDTH / 2 + (x - cx) * scale, y: HEIGHT / 2 - (y - cy) * scale };
    },
    toLatLon(vx, vy) {
      const x = (vx - WIDTH / 2) / scale + cx;
      const y = -(vy - HEIGHT / 2) / scale + cy;
      return { lat: lat0 + y / METRES_PER_DEGREE, lon: lon0 + x / (cos * METRES_PER_DEGREE) };
    },
  };
}

/** The largest 1, 2 or 5 times a power of ten that is at most the given length. */
export function niceLength(metres) {
  const power = Math.pow(10, Math.floor(Math.log10(metres)));
  for (const step of [5, 2, 1]) if (step * power <= metres) return step * power;
  return power;
}

const lengthText = (m) => (m >= 1000 ? `${m / 1000} km` : `${m} m`);

let projection = fitProjection([]);
let pointer = null;

export function initPlane() {
  const plane = byId('plane');
  plane.addEventListener('click', (event) => {
    const at = viewPoint(plane, event);
    const { lat, lon } = projection.toLatLon(at.x, at.y);
    byId('geofence-lat').value = lat.toFixed(6);
    byId('geofence-lon').value = lon.toFixed(6);
    pointer = { lat, lon };
    drawPointer(plane);
    byId('plane-pointer').textContent = `The geofence form now holds ${lat.toFixed(6)}, ${lon.toFixed(6)}.`;
  });
}

function viewPoint(plane, event) {
  const point = plane.createSVGPoint();
  point.x = event.clientX;
  point.y = event.clientY;
  return point.matrixTransform(plane.getScreenCTM().inverse());
}

function drawPointer(plane) {
  plane.querySelector('.pointer')?.remove();
  if (!pointer) return;
  const { x, y } = projection.toView(pointer.lat, pointer.lon);
  plane.append(svg('g', { class: 'pointer', 'data-testid': 'plane-pointer-mark' }, [
    svg('line', { x1: x - 8, y1: y, x2: x + 8, y2: y }),
    svg('line', { x1: x, y1: y - 8, x2: x, y2: y + 8 }),
  ]));
}

/** The drawable things of the state. */
export function planeFeatures(state) {
  const fences = [];
  const placedBeacons = [];
  const unplacedBeacons = [];
  state.workspaces.forEach((ws, index) => {
    for (const g of state.geofences[ws.clientId] || []) {
      fences.push({ ...g, lat: number(g.latitude), lon: number(g.longitude), r: number(g.radius), clientId: ws.clientId, colour: index % 6 });
    }
    for (const b of state.beacons[ws.clientId] || []) {
      const entry = { ...b, lat: number(b.latitude), lon: number(b.longitude), clientId: ws.clientId, colour: index % 6 };
      (finite(entry.lat, entry.lon) ? placedBeacons : unplacedBeacons).push(entry);
    }
  });
  const tracks = new Map();
  for (const l of state.locations) {
    const fix = { lat: number(l.latitude), lon: number(l.longitude), time: l.time, report: l };
    if (!finite(fix.lat, fix.lon)) continue;
    if (!tracks.has(l.deviceId)) tracks.set(l.deviceId, []);
    tracks.get(l.deviceId).push(fix);
  }
  return { fences, placedBeacons, unplacedBeacons, tracks };
}

export function renderPlane(state) {
  const plane = byId('plane');
  const { fences, placedBeacons, unplacedBeacons, tracks } = planeFeatures(state);
  const fixes = [...tracks.values()].flat();
  projection = fitProjection([...fences.filter((f) => finite(f.lat, f.lon)), ...placedBeacons, ...fixes]);
  const nodes = [svg('rect', { class: 'plane-bg', x: 0, y: 0, width: WIDTH, height: HEIGHT })];

  // A light grid at the scale bar's step.
  const step = niceLength((WIDTH / 5) / projection.scale);
  const origin = projection.toView(projection.lat0, projection.lon0);
  const px = step * projection.scale;
  for (let x = origin.x % px; x < WIDTH; x += px) nodes.push(svg('line', { class: 'grid', x1: x, y1: 0, x2: x, y2: HEIGHT }));
  for (let y = origin.y % px; y < HEIGHT; y += px) nodes.push(svg('line', { class: 'grid', x1: 0, y1: y, x2: WIDTH, y2: y }));

  for (const f of fences) {
    if (!finite(f.lat, f.lon)) continue;
    const { x, y } = projection.toView(f.lat, f.lon);
    const r = Math.max(2, (Number.isFinite(f.r) ? f.r : 0) * projection.scale);
    nodes.push(svg('g', { class: `fence colour-${f.colour}` }, [
      svg('circle', { cx: x, cy: y, r, 'data-testid': 'geofence-circle', 'data-region-id': f.regionId ?? '', 'data-client-id': f.clientId },
        svg('title', { text: `${f.name ?? f.regionId} (${f.clientId}): ${f.radius} m` })),
      svg('text', { x, y: y - r - 4, class: 'label', text: f.name ?? f.regionId ?? '' }),
    ]));
  }
  for (const b of placedBeacons) {
    const { x, y } = projection.toView(b.lat, b.lon);
    nodes.push(svg('g', { class: `beacon colour-${b.colour}` }, [
      svg('rect', { x: x - 5, y: y - 5, width: 10, height: 10, transform: `rotate(45 ${x} ${y})`, 'data-testid': 'beacon-mark', 'data-region-id': b.regionId ?? '' },
        svg('title', { text: `${b.type} ${b.name ?? b.regionId} (${b.clientId})` })),
      svg('text', { x: x + 8, y: y + 4, class: 'label', text: b.name ?? b.regionId ?? '' }),
    ]));
  }
  for (const [device, track] of tracks) {
    const points = track.map((f) => projection.toView(f.lat, f.lon));
    nodes.push(svg('polyline', { class: 'track', 'data-testid': 'track', 'data-device': device, points: points.map((p) => `${p.x.toFixed(1)},${p.y.toFixed(1)}`).join(' ') }));
    track.forEach((fix, i) => {
      const p = points[i];
      const r = fix.report;
      if (r.operation === 'notifyRegionEvent') {
        const status = (r.status || '').toLowerCase();
        nodes.push(svg('circle', { class: `region-event status-${status}`, cx: p.x, cy: p.y, r: 6, 'data-testid': 'region-event-mark' },
          svg('title', { text: `${formatTime(r.time)} ${r.regionType} ${r.status} ${r.region} (${device})` })));
      } else {
        nodes.push(svg('circle', { class: 'fix', cx: p.x, cy: p.y, r: 3, 'data-testid': 'fix-mark' },
          svg('title', { text: `${formatTime(r.time)} position ${r.latitude}, ${r.longitude} for ${r.requestId} (${device})` })));
      }
    });
  }

  // Scale bar, bottom left.
  const barPx = step * projection.scale;
  const bx = PAD;
  const by = HEIGHT - 14;
  nodes.push(svg('g', { class: 'scale', 'data-testid': 'scale-bar' }, [
    svg('line', { x1: bx, y1: by, x2: bx + barPx, y2: by }),
    svg('line', { x1: bx, y1: by - 5, x2: bx, y2: by + 1 }),
    svg('line', { x1: bx + barPx, y1: by - 5, x2: bx + barPx, y2: by + 1 }),
    svg('text', { x: bx + barPx + 6, y: by + 4, text: lengthText(step) }),
  ]));
  nodes.push(svg('text', { class: 'centre', x: WIDTH - 8, y: HEIGHT - 10, 'text-anchor': 'end', text: `centre ${projection.lat0.toFixed(5)}, ${projection.lon0.toFixed(5)}` }));
  if (!fences.length && !placedBeacons.length && !fixes.length) {
    nodes.push(svg('text', { class: 'nothing', x: WIDTH / 2, y: HEIGHT / 2, 'text-anchor': 'middle', text: 'No geofence or position yet' }));
  }
  plane.replaceChildren(...nodes);
  drawPointer(plane);

  renderRegionLists(fences, [...placedBeacons, ...unplacedBeacons]);
}

function renderRegionLists(fences, beacons) {
  setCount('count-geofences', fences.length);
  byId('geofence-list').replaceChildren(...(fences.length ? fences.map((f) => el('li', { 'data-testid': 'geofence-item', dataset: { regionId: f.regionId ?? '' } }, [
    removeButton('geofences', f.clientId, f.regionId),
    el('span', { class: `swatch colour-${f.colour}` }),
    el('strong', { text: f.name ?? f.regionId }),
    ` ${f.regionId} · ${f.clientId} · ${f.radius} m · ${f.eventType ?? ''}`,
  ])) : [el('li', { class: 'empty', text: 'None' })]));

  setCount('count-beacons', beacons.length);
  byId('beacon-list').replaceChildren(...(beacons.length ? beacons.map((b) => el('li', { 'data-testid': 'beacon-item', dataset: { regionId: b.regionId ?? '', type: b.type ?? '' } }, [
    removeButton('beacons', b.clientId, b.regionId),
    el('span', { class: `swatch colour-${b.colour}` }),
    el('span', { class: `badge ${b.type === 'WIFI_BEACON' ? 'badge-wifi' : 'badge-beacon'}`, text: b.type === 'WIFI_BEACON' ? 'Wi-Fi' : b.type ?? '?' }),
    el('strong', { text: ` ${b.name ?? b.regionId}` }),
    ` ${b.regionId} · ${b.clientId} · ${b.uuid ?? ''}${b.major !== undefined ? ` ${b.major}/${b.minor ?? ''}` : ''}${finite(b.lat, b.lon) ? ' · placed' : ''}`,
  ])) : [el('li', { class: 'empty', text: 'None' })]));
}

function removeButton(list, clientId, regionId) {
  return el('button', {
    type: 'button', class: 'remove', title: `Remove ${regionId}`, text: '×',
    'data-testid': `remove-${list === 'geofences' ? 'geofence' : 'beacon'}`,
    onclick: async () => {
      showError('error-regions', null);
      try {
        // The list is replaced whole: take the stored one and leave the entry out.
        const path = `/workspaces/${encodeURIComponent(clientId)}/${list}`;
        const current = await get(path);
        await put(path, current.filter((entry) => entry.regionId !== regionId));
      } catch (e) {
        showError('error-regions', e);
      }
    },
  });
}
