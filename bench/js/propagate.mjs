// The BM_Propagate workload of orbitrak-bench, timed with satellite.js: every set of the
// catalogue initialised once, each propagated to tsince = -1440 + 144 k minutes (k = 0..19).
// Each repetition runs whole passes for at least 0.5 s. Times are process CPU time, as
// Google Benchmark reports them, so that other load on the machine does not count.
//
//   node propagate.mjs [catalogue file] [repetitions]
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { dirname, join } from 'node:path';
import { twoline2satrec, sgp4 } from 'satellite.js';

const here = dirname(fileURLToPath(import.meta.url));
export const defaultCatalogue = join(here, '..', 'data', 'active-2026-03.txt');

// Nanoseconds per propagation of each repetition, sorted ascending.
export function timeSatelliteJs(file = defaultCatalogue, repetitions = 5) {
  const lines = readFileSync(file, 'latin1').split('\n').map((l) => l.replace(/\r$/, ''));
  const sets = [];
  for (let i = 0; i + 2 < lines.length; i += 3) sets.push(twoline2satrec(lines[i + 1], lines[i + 2]));

  const times = Array.from({ length: 20 }, (_, k) => -1440 + 144 * k);
  let checksum = 0;
  const pass = () => {
    for (const satrec of sets) {
      for (const t of times) {
        const pv = sgp4(satrec, t);
        if (pv && pv.position) checksum += pv.position.x;
      }
    }
  };

  pass(); // warm-up: let the JIT compile
  const propsPerPass = sets.length * times.length;
  const results = [];
  for (let r = 0; r < repetitions; ++r) {
    let passes = 0;
    const start = process.cpuUsage();
    let cpuMicros = 0;
    do {
      pass();
      ++passes;
      const used = process.cpuUsage(start);
      cpuMicros = used.user + used.system;
    } while (cpuMicros < 500_000);
    results.push((cpuMicros * 1000) / (passes * propsPerPass));
  }
  results.sort((a, b) => a - b);
  return { sets: sets.length, checksum, results };
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const { sets, checksum, results } = timeSatelliteJs(
    process.argv[2] ?? defaultCatalogue,
    Number(process.argv[3] ?? 5),
  );
  const median = results[Math.floor(results.length / 2)];
  console.log(`sets=${sets} checksum=${checksum.toExponential(6)}`);
  console.log(`satellite.js ns_per_prop best=${results[0].toFixed(1)} median=${median.toFixed(1)}`);
}
