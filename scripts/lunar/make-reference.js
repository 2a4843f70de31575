// Writes tests/keys/data/lunar-months.txt, the reference the lunar test
// checks every day of 1901..2100 against, from the npm package solarlunar
// (the published table of lunar years 1900..2100, independent of the
// computation keys/LunarTable.inc comes from). Run once by hand:
//   npm install --prefix /tmp/lunar solarlunar@3.1.0
//   NODE_PATH=/tmp/lunar/node_modules node scripts/lunar/make-reference.js > tests/keys/data/lunar-months.txt
// One line per lunar month that has a day in 1901-01-01..2100-12-31: the
// Gregorian date of its first day (of the range's first day for the first
// line, with the lunar day of it), the lunar month (a leading "闰" for a leap
// month), the lunar year (the Gregorian year of its new year's day) and its
// animal.
'use strict'
const solarlunar = require('solarlunar')
const lib = solarlunar.default || solarlunar

const DAY = 86400000
const lines = []
for (let ms = Date.UTC(1901, 0, 1); ms <= Date.UTC(2100, 11, 31); ms += DAY) {
  const d = new Date(ms)
  const x = lib.solar2lunar(d.getUTCFullYear(), d.getUTCMonth() + 1, d.getUTCDate())
  if (x.lDay !== 1 && lines.length > 0) continue
  const date = d.toISOString().slice(0, 10)
  lines.push(`${date} ${x.lDay} ${x.isLeap ? '闰' : ''}${x.lMonth} ${x.lYear} ${x.animal}`)
}
process.stdout.write('# date lunar-day month lunar-year animal; from solarlunar 3.1.0 by scripts/lunar/make-reference.js\n' +
  lines.join('\n') + '\n')
