// The page's sound output: plays the game's mixed sound, which the page
// sends in pieces (interleaved stereo) as the game makes it. Runs on the
// browser's sound thread; while nothing is there it plays silence.
class ZarnikOutput extends AudioWorkletProcessor {
  constructor() {
    super();
    this.queue = [];
    this.offset = 0;
    this.port.onmessage = (e) => this.queue.push(e.data);
  }

  process(inputs, outputs) {
    const left = outputs[0][0];
    const right = outputs[0][1] || left;
    let i = 0;
    while (i < left.length && this.queue.length) {
      const piece = this.queue[0];
      while (i < left.length && this.offset < piece.length) {
        left[i] = piece[this.offset];
        right[i] = piece[this.offset + 1];
        this.offset += 2;
        i++;
      }
      if (this.offset >= piece.length) {
        this.queue.shift();
        this.offset = 0;
      }
    }
    for (; i < left.length; i++) left[i] = right[i] = 0;
    return true;
  }
}

registerProcessor('zarnik-output', ZarnikOutput);
