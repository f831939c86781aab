// The program's table of public holidays, from the days of every region (as
// holidays.js gives them) to bytes, and back.
//
// Each region is stored as rules that give its days: a country its own, a
// subdivision only how it differs from its parent (days added or named
// otherwise, and days taken away). The days of one name are covered by rules
// found from the days themselves, each over a run of years: a fixed date, a
// day from Easter (Western or Orthodox), a weekday on or after a date, or a
// fixed date moved by its weekday (a substitute day); the days no rule covers
// are listed. src/report/Holidays.cpp reads the same bytes; the two must
// change together.
//
// The bytes: numbers are LEB128 (seven bits a byte, low first), signed ones
// zigzagged.
//   names:   count, then each: length, UTF-8 bytes
//   regions: count, then each: length, code; parent's index + 1 (0: none);
//            groups: count, then each: name's index + 1 (0: the days are taken
//            away); rules: count, then each: kind, its numbers, first year
//            less FirstYear, years less one; days: count, then each: days
//            from the one before (the first from 1 January of FirstYear),
//            days more of the same run.
//   kinds:   0 fixed: month * 32 + day
//            1 Easter: offset (signed)
//            2 Orthodox Easter: offset (signed)
//            3 weekday on or after a date: month * 32 + day, weekday (0 Sunday)
//            4 fixed, moved by its weekday: month * 32 + day, and for each weekday
//              from Sunday a base-8 digit (lowest first): 0 no day that year,
//              else 4 + the days moved
'use strict';

const { FirstYear, LastYear } = require('./holidays.js');

const DayMs = 86400000;
// Day numbers as the program counts them: days since 30 December 1899.
const Epoch = Date.UTC(1899, 11, 30);
const dayNumber = (y, m, d) => Math.round((Date.UTC(y, m - 1, d) - Epoch) / DayMs);
const dayOfText = (text) => dayNumber(+text.slice(0, 4), +text.slice(5, 7), +text.slice(8, 10));
const weekday = (day) => (((day + 6) % 7) + 7) % 7;  // 0 Sunday; day 0 was a Saturday
const monthLength = (y, m) => new Date(Date.UTC(y, m, 0)).getUTCDate();
function textOfDay(day) {
  return new Date(Epoch + day * DayMs).toISOString().slice(0, 10);
}

// Easter Sunday of the Gregorian calendar (the anonymous Gregorian computus).
function easter(y) {
  const a = y % 19, b = Math.floor(y / 100), c = y % 100, d = Math.floor(b / 4), e = b % 4;
  const f = Math.floor((b + 8) / 25), g = Math.floor((b - f + 1) / 3);
  const h = (19 * a + b - d - g + 15) % 30, i = Math.floor(c / 4), k = c % 4;
  const l = (32 + 2 * e + 2 * i - h - k) % 7, m = Math.floor((a + 11 * h + 22 * l) / 451);
  const month = Math.floor((h + l - 7 * m + 114) / 31), day = ((h + l - 7 * m + 114) % 31) + 1;
  return dayNumber(y, month, day);
}

// Orthodox Easter Sunday: the Julian computus, in the Gregorian calendar
// (13 days on, right for 1900 to 2099).
function orthodoxEaster(y) {
  const a = y % 4, b = y % 7, c = y % 19, d = (19 * c + 15) % 30, e = (2 * a + 4 * b - d + 34) % 7;
  const month = Math.floor((d + e + 114) / 31), day = ((d + e + 114) % 31) + 1;
  return dayNumber(y, month, day) + 13;
}

// The date of month-day in year y, or null where the month has no such day.
function fixedDay(y, md) {
  const m = md >> 5, d = md & 31;
  return d <= monthLength(y, m) ? dayNumber(y, m, d) : null;
}

// The day a rule gives in year y, or null.
function ruleDay(rule, y) {
  switch (rule.kind) {
    case 0: return fixedDay(y, rule.a);
    case 1: return easter(y) + rule.a;
    case 2: return orthodoxEaster(y) + rule.a;
    case 3: {
      const base = fixedDay(y, rule.a);
      return base === null ? null : base + ((rule.b - weekday(base) + 7) % 7);
    }
    case 4: {
      const base = fixedDay(y, rule.a);
      if (base === null) return null;
      const digit = Math.floor(rule.b / 8 ** weekday(base)) % 8;
      return digit === 0 ? null : base + digit - 4;
    }
  }
  throw new Error(`no rule of kind ${rule.kind}`);
}

const yearOf = (day) => +textOfDay(day).slice(0, 4);

// Rules and listed days that give exactly the days (a sorted array of day
// numbers) of one name.
function coverDays(days) {
  const all = new Set(days);
  const byYear = new Map();
  for (const day of days) {
    const y = yearOf(day);
    if (!byYear.has(y)) byYear.set(y, []);
    byYear.get(y).push(day);
  }
  // The candidates, each as rule and the day it gives in each year (or null).
  const candidates = new Map();
  const add = (kind, a, b = 0) => {
    const key = `${kind}:${a}:${b}`;
    if (!candidates.has(key)) candidates.set(key, { kind, a, b });
  };
  for (const day of days) {
    const y = yearOf(day), text = textOfDay(day);
    const m = +text.slice(5, 7), d = +text.slice(8, 10);
    add(0, m * 32 + d);
    add(1, day - easter(y));
    add(2, day - orthodoxEaster(y));
    for (let from = Math.max(1, d - 6); from <= d; from++) add(3, m * 32 + from, weekday(day));
    for (let shift = -3; shift <= 3; shift++) {
      if (shift === 0) continue;
      const base = day - shift, bt = textOfDay(base);
      if (+bt.slice(0, 4) === y) add(4, +bt.slice(5, 7) * 32 + +bt.slice(8, 10));
    }
  }
  // Each candidate's runs of years: the longest from each first year on
  // where it gives only the name's days.
  const runs = [];
  for (const rule of candidates.values()) {
    if (rule.kind === 4) {
      for (let first = FirstYear; first <= LastYear; first++) {
        const digits = new Array(7).fill(-1);
        let last = first - 1;
        const given = [];
        for (let y = first; y <= LastYear; y++) {
          const base = fixedDay(y, rule.a);
          if (base === null) break;
          const near = (byYear.get(y) || []).filter((day) => Math.abs(day - base) <= 3);
          if (near.length > 1) break;
          const digit = near.length === 0 ? 0 : near[0] - base + 4;
          const w = weekday(base);
          if (digits[w] !== -1 && digits[w] !== digit) break;
          digits[w] = digit;
          if (digit !== 0) given.push(near[0]);
          last = y;
        }
        if (given.length >= 2 && digits.some((x) => x > 0 && x !== 4)) {
          const b = digits.reduce((sum, x, w) => sum + Math.max(x, 0) * 8 ** w, 0);
          runs.push({ rule: { kind: 4, a: rule.a, b }, first, last, given });
        }
      }
      continue;
    }
    let first = null;
    let given = [];
    for (let y = FirstYear; y <= LastYear + 1; y++) {
      const day = y <= LastYear ? ruleDay(rule, y) : null;
      if (day !== null && all.has(day)) {
        if (first === null) first = y;
        given.push(day);
      } else if (first !== null) {
        if (given.length >= 2) runs.push({ rule, first, last: y - 1, given });
        first = null;
        given = [];
      }
    }
  }
  // Greedy: the run that covers most days not yet covered, while that saves
  // bytes over listing them (a rule costs about five bytes, a day about two).
  const left = new Set(days);
  const chosen = [];
  for (;;) {
    let best = null, bestGain = 0;
    for (const run of runs) {
      if (run.given.length * 2 - (run.rule.kind === 4 ? 8 : 5) <= bestGain) continue;
      let gain = 0;
      for (const day of run.given) if (left.has(day)) gain++;
      gain = gain * 2 - (run.rule.kind === 4 ? 8 : 5);
      if (gain > bestGain) { best = run; bestGain = gain; }
    }
    if (!best) break;
    for (const day of best.given) left.delete(day);
    chosen.push(best);
  }
  return { rules: chosen, listed: [...left].sort((x, y) => x - y) };
}

class Writer {
  constructor() { this.bytes = []; }
  uint(n) {
    if (!Number.isInteger(n) || n < 0) throw new Error(`not a count: ${n}`);
    do {
      let b = n % 128;
      n = Math.floor(n / 128);
      if (n > 0) b |= 128;
      this.bytes.push(b);
    } while (n > 0);
  }
  int(n) { this.uint(n < 0 ? -2 * n - 1 : 2 * n); }
  text(s) {
    const b = Buffer.from(s, 'utf8');
    this.uint(b.length);
    for (const x of b) this.bytes.push(x);
  }
}

// The groups of a region: Map name (or null: days taken away) -> sorted days.
function groupsOf(days, parentDays) {
  const groups = new Map();
  const put = (name, day) => {
    if (!groups.has(name)) groups.set(name, []);
    groups.get(name).push(day);
  };
  for (const [text, name] of days) {
    if (!parentDays || parentDays.get(text) !== name) put(name, dayOfText(text));
  }
  for (const text of parentDays ? parentDays.keys() : []) {
    if (!days.has(text)) put(null, dayOfText(text));
  }
  for (const list of groups.values()) list.sort((x, y) => x - y);
  return groups;
}

// The table's bytes from regions: [{ code, parent, days: Map yyyy-mm-dd -> name }],
// each parent before its children.
function encode(regions) {
  const index = new Map(regions.map((r, i) => [r.code, i]));
  const byCode = new Map(regions.map((r) => [r.code, r]));
  const names = [...new Set(regions.flatMap((r) => [...r.days.values()]))].sort();
  const nameIndex = new Map(names.map((n, i) => [n, i]));
  const w = new Writer();
  w.uint(names.length);
  for (const name of names) w.text(name);
  w.uint(regions.length);
  const origin = dayNumber(FirstYear, 1, 1);
  const stats = { rules: 0, listed: 0 };
  for (const region of regions) {
    w.text(region.code);
    w.uint(region.parent === null ? 0 : index.get(region.parent) + 1);
    const parent = region.parent === null ? null : byCode.get(region.parent);
    const groups = groupsOf(region.days, parent && parent.days);
    w.uint(groups.size);
    for (const [name, days] of groups) {
      w.uint(name === null ? 0 : nameIndex.get(name) + 1);
      const { rules, listed } = coverDays(days);
      stats.rules += rules.length;
      stats.listed += listed.length;
      w.uint(rules.length);
      for (const { rule, first, last } of rules) {
        w.uint(rule.kind);
        if (rule.kind === 1 || rule.kind === 2) w.int(rule.a);
        else w.uint(rule.a);
        if (rule.kind === 3 || rule.kind === 4) w.uint(rule.b);
        w.uint(first - FirstYear);
        w.uint(last - first);
      }
      // Runs of consecutive days, each from the end of the one before.
      const spans = [];
      for (const day of listed) {
        const span = spans[spans.length - 1];
        if (span && span.last + 1 === day) span.last = day;
        else spans.push({ first: day, last: day });
      }
      w.uint(spans.length);
      let previous = origin;
      for (const span of spans) {
        w.uint(span.first - previous);
        w.uint(span.last - span.first);
        previous = span.last;
      }
    }
  }
  return { bytes: Buffer.from(w.bytes), names: names.length, stats };
}

module.exports = { encode, easter, orthodoxEaster, ruleDay, dayNumber, textOfDay };
