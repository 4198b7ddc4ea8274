// Runs orbitrak-bench BM_Propagate and the same workload in satellite.js, one after the
// other, and prints both figures and their ratio (ours / satellite.js, best of each).
//
//   node compare.mjs <path to orbitrak-bench> [repetitions]
import { execFileSync } from 'node:child_process';
import { defaultCatalogue, timeSatelliteJs } from './propagate.mjs';

const bench = process.argv[2];
const repetitions = Number(process.argv[3] ?? 5);
if (!bench) {
  console.error('usage: node compare.mjs <path to orbitrak-bench> [repetitions]');
  process.exit(2);
}

const json = execFileSync(bench, [
  '--benchmark_filter=^BM_Propagate$',
  `--benchmark_repetitions=${repetitions}`,
  '--benchmark_format=json',
], { encoding: 'utf8', stdio: ['ignore', 'pipe', 'inherit'] });
const runs = JSON.parse(json).benchmarks.filter((b) => b.run_type === 'iteration');
const ours = runs.map((b) => b.ns_per_prop * 1e9).sort((a, b) => a - b);

const js = timeSatelliteJs(defaultCatalogue, repetitions).results;

const median = (v) => v[Math.floor(v.length / 2)];
const f = (x) => x.toFixed(1).padStart(7);
console.log('ns per propagation       best  median');
console.log(`orbitrak (C++)        ${f(ours[0])} ${f(median(ours))}`);
console.log(`satellite.js 7.1      ${f(js[0])} ${f(median(js))}`);
console.log(`ratio best: ${(ours[0] / js[0]).toFixed(3)}  median: ${(median(ours) / median(js)).toFixed(3)}  (bar: best ratio <= 0.55)`);
