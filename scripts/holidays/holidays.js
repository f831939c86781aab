// The public holidays of the regions of the npm package date-holidays, as the
// program's table holds them: every country, subdivision and region the
// package knows, by code ("DE", "DE-BY", "DE-BY-KATH"), and for a year a map
// from each day (yyyy-mm-dd) to its English name. A holiday of several days
// names each of its days; two holidays on one day are named together, joined
// by " / ".
'use strict';

const Holidays = require('date-holidays');

const FirstYear = 2000;
const LastYear = 2060;
const Language = 'en';

// Every region the package knows, a country before its subdivisions and a
// subdivision before its regions: { code, parts: ['DE', 'BY'], parent: code }.
function regions() {
  const all = [];
  const hd = new Holidays();
  for (const country of Object.keys(hd.getCountries(Language)).sort()) {
    all.push({ code: country, parts: [country], parent: null });
    for (const state of Object.keys(hd.getStates(country, Language) || {}).sort()) {
      const code = `${country}-${state}`;
      all.push({ code, parts: [country, state], parent: country });
      for (const region of Object.keys(hd.getRegions(country, state, Language) || {}).sort()) {
        all.push({ code: `${code}-${region}`, parts: [country, state, region], parent: code });
      }
    }
  }
  return all;
}

// "yyyy-mm-dd" of a time in milliseconds read as UTC.
function dateText(ms) {
  return new Date(ms).toISOString().slice(0, 10);
}

// The public holidays of a region (its parts, as regions() gives them) on the
// days of the years first to last: a Map from yyyy-mm-dd to the name, in the
// order of the days. A holiday's days run from its start's date (the
// package's own date, in the region's time) for its length, and may begin in
// the year before; a length of less than a day (from noon, say) is that one
// day. An hour either way (a change of the clocks) is passed over.
function publicDays(parts, first, last) {
  const hd = new Holidays(...parts);
  const names = new Map();
  const from = `${first}-01-01`, to = `${last}-12-31`;
  for (let year = first - 1; year <= last; year++) {
    for (const item of hd.getHolidays(year, Language) || []) {
      if (item.type !== 'public') continue;
      const date = item.date.slice(0, 10);
      const start = Date.parse(`${date}T${item.date.slice(11, 19)}Z`);
      const end = Math.max(start, start + (item.end - item.start) - 61 * 60 * 1000);
      for (let day = Date.parse(`${date}T00:00:00Z`); day <= end; day += 86400000) {
        const text = dateText(day);
        if (text < from || text > to) continue;
        const known = names.get(text);
        if (known === undefined) names.set(text, item.name);
        else if (!known.split(' / ').includes(item.name)) {
          names.set(text, `${known} / ${item.name}`);
        }
      }
    }
  }
  return new Map([...names.entries()].sort((a, b) => (a[0] < b[0] ? -1 : a[0] > b[0] ? 1 : 0)));
}

module.exports = { FirstYear, LastYear, regions, publicDays };
