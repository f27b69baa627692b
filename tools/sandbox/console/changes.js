// Follows GET /changes. EventSource cannot send the Authorization header, so
// the stream is read through fetch and parsed here.

/** Splits event-stream text into events; keeps an unfinished tail for the next chunk. */
export class EventStreamParser {
  constructor(onEvent) {
    this.onEvent = onEvent;
    this.buffer = '';
    this.reset();
  }

  reset() {
    this.type = '';
    this.data = [];
  }

  push(chunk) {
    this.buffer += chunk;
    const lines = this.buffer.split(/\r\n|\r|\n/);
    // The last piece has no line end yet (or is empty after one).
    this.buffer = lines.pop();
    for (const line of lines) this.line(line);
  }

  line(line) {
    if (line === '') {
      if (this.data.length || this.type) this.onEvent(this.type || 'message', this.data.join('\n'));
      this.reset();
      return;
    }
    if (line.startsWith(':')) return;  // a comment: keep-alive
    const colon = line.indexOf(':');
    const field = colon < 0 ? line : line.slice(0, colon);
    let value = colon < 0 ? '' : line.slice(colon + 1);
    if (value.startsWith(' ')) value = value.slice(1);
    if (field === 'event') this.type = value;
    else if (field === 'data') this.data.push(value);
  }
}

/**
 * Keeps a connection to /changes open and calls onChange for every change
 * event; reconnects after a growing delay. onStatus hears 'live',
 * 'reconnecting' or 'unauthorized'.
 */
export function followChanges({ headers, onChange, onStatus }) {
  let stopped = false;
  let delay = 1000;
  let controller = null;
  let timer = null;

  const later = (fn, ms) => {
    if (!stopped) timer = setTimeout(fn, ms);
  };

  async function connect() {
    controller = new AbortController();
    let response;
    try {
      response = await fetch('/changes', { headers: headers(), cache: 'no-store', signal: controller.signal });
    } catch {
      return retry();
    }
    if (response.status === 401) {
      onStatus('unauthorized');
      return;
    }
    if (!response.ok || !response.body) return retry();
    onStatus('live');
    delay = 1000;
    const parser = new EventStreamParser((type, data) => {
      if (type !== 'change') return;
      let parsed = null;
      try {
        parsed = JSON.parse(data);
      } catch {
        parsed = null;
      }
      onChange(parsed);
    });
    const reader = response.body.pipeThrough(new TextDecoderStream()).getReader();
    try {
      for (;;) {
        const { value, done } = await reader.read();
        if (done) break;
        parser.push(value);
      }
    } catch {
      // A broken connection: reconnect below.
    }
    retry();
  }

  function retry() {
    if (stopped) return;
    onStatus('reconnecting');
    later(connect, delay);
    delay = Math.min(delay * 2, 8000);
  }

  connect();
  return () => {
    stopped = true;
    clearTimeout(timer);
    if (controller) controller.abort();
  };
}
