// Walks a customer through the portal in headless Chromium: a refused login,
// a login, the account page, a fuel request, payments with the card on file
// and with a new card (one approved, one declined), a password change and
// logout. The pages come from build/bin/Portavel behind lighttpd, as in the
// demo, on a demo store made for this run, and the card charges go to the
// demo card gateway (demo-support/fake-card-gateway.py) over HTTPS. Store
// and CGI program both run on a fixed faked clock, so every date on the
// pages is the same on any day.
//
//   npm ci --no-audit --no-fund && node --test      (in tests/browser)
//
// PORTAVEL_BIN_DIR names another folder holding Portavel and portavel-db
// (default: build/bin). A full-page screenshot of each page is kept in
// build/browser-screenshots/. With PORTAVEL_E2E_MODE=fastcgi lighttpd runs
// the program as a FastCGI application it starts once, and the screenshots
// go to build/browser-screenshots-fastcgi/.
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import { randomBytes } from 'node:crypto';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, it } from 'node:test';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
const binDir = path.resolve(process.env.PORTAVEL_BIN_DIR || path.join(repo, 'build', 'bin'));
const fastcgi = process.env.PORTAVEL_E2E_MODE === 'fastcgi';
const screenshotDir = path.join(repo, 'build',
  fastcgi ? 'browser-screenshots-fastcgi' : 'browser-screenshots');
const chromiumPath = '/usr/bin/chromium';
const lighttpdPath = fs.existsSync('/usr/sbin/lighttpd') ? '/usr/sbin/lighttpd' : 'lighttpd';

// The demo dates count back from this day; its recent delivery is 12 days
// before it.
const fakeClock = {
  LD_PRELOAD: '/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1',
  FAKETIME: '@2024-03-31 10:00:00',
  FAKETIME_DONT_FAKE_MONOTONIC: '1',
};

// HV1001 has one tank in the "Normal" delivery status and nothing past due,
// so its fuel request on a fresh store is always accepted.
const customer = { id: 'HV1001', password: 'maple120', name: 'Robert Smith' };

const newPassword = 'harbor-2024';

const scriptName = '/cgi-bin/Portavel.exe';

let workDir;
let server;
let serverLog = '';
let gateway;
let gatewayLog = '';
let baseUrl;
let browser;
let page;
let shot = 0;

function run(program, args, env) {
  return execFileSync(program, args, { env: { ...process.env, ...env }, encoding: 'utf8' });
}

async function freeLoopbackPort() {
  const probe = net.createServer();
  await new Promise((resolve, reject) => {
    probe.once('error', reject);
    probe.listen(0, '127.0.0.1', resolve);
  });
  const { port } = probe.address();
  await new Promise((resolve) => probe.close(resolve));
  return port;
}

function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

// The availability probe answers "1" once lighttpd runs the program and the
// program reads the store.
async function waitForServer() {
  let lastError;
  for (let attempt = 0; attempt < 100; attempt++) {
    if (server.exitCode !== null || server.signalCode !== null) break;
    try {
      const answer = await fetch(`${baseUrl}${scriptName}/Online`);
      if ((await answer.text()) === '1') return;
      lastError = new Error(`/Online answered ${answer.status}`);
    } catch (error) {
      lastError = error;
    }
    await sleep(100);
  }
  throw new Error(`lighttpd did not serve the portal (${lastError}); its output:\n${serverLog}`);
}

function stopServer() {
  for (const child of [server, gateway]) {
    if (child && child.exitCode === null && child.signalCode === null) child.kill('SIGTERM');
  }
}

// The demo card gateway says "READY <port>" once it listens.
async function startGateway(folder) {
  gateway = spawn('python3', [path.join(repo, 'demo-support', 'fake-card-gateway.py'),
    '--folder', folder, '--demo', '--parent', String(process.pid)],
  { stdio: ['ignore', 'pipe', 'pipe'] });
  gateway.stderr.on('data', (chunk) => { gatewayLog += chunk; });
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`the card gateway did not start:\n${gatewayLog}`)),
      30000);
    gateway.stdout.on('data', (chunk) => {
      gatewayLog += chunk;
      const ready = /READY (\d+)/.exec(gatewayLog);
      if (ready) {
        clearTimeout(timer);
        resolve(Number(ready[1]));
      }
    });
    gateway.once('exit', () => reject(new Error(`the card gateway ended:\n${gatewayLog}`)));
  });
}

function removeWorkDir() {
  if (workDir) fs.rmSync(workDir, { recursive: true, force: true });
  workDir = undefined;
}

// Also when the run is interrupted and the after hook never runs.
process.on('exit', () => {
  stopServer();
  removeWorkDir();
});
for (const [signal, number] of [['SIGINT', 2], ['SIGTERM', 15]]) {
  process.once(signal, () => process.exit(128 + number));
}

async function screenshot(name) {
  shot += 1;
  const file = path.join(screenshotDir, `${String(shot).padStart(2, '0')}-${name}.png`);
  await page.screenshot({ path: file, fullPage: true });
}

// Presses a submit button and waits for the page it posts to.
async function press(label) {
  const loaded = page.waitForNavigation({ waitUntil: 'load' });
  await page.getByRole('button', { name: label, exact: true }).click();
  await loaded;
}

async function bodyText() {
  return page.innerText('body');
}

async function logIn(password) {
  await page.goto(`${baseUrl}${scriptName}/Login`);
  await page.fill('input[name="AccountID"]', customer.id);
  await page.fill('input[name="Password"]', password);
  await press('Log in');
}

async function tableTexts() {
  return page.$$eval('table', (tables) => tables.map((table) => table.innerText));
}

describe(`customer portal in Chromium${fastcgi ? ' (FastCGI)' : ''}`, () => {
  before(async () => {
    for (const file of [path.join(binDir, 'Portavel'), path.join(binDir, 'portavel-db'),
      chromiumPath, fakeClock.LD_PRELOAD]) {
      assert.ok(fs.existsSync(file), `${file} is missing (scripts/install-deps, then build)`);
    }
    fs.mkdirSync(screenshotDir, { recursive: true });
    for (const old of fs.readdirSync(screenshotDir)) {
      if (old.endsWith('.png')) fs.rmSync(path.join(screenshotDir, old));
    }

    workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'portavel-browser-'));
    const gatewayDir = path.join(workDir, 'gateway');
    fs.mkdirSync(gatewayDir);
    const gatewayBase = `https://127.0.0.1:${await startGateway(gatewayDir)}/`;
    const config = path.join(workDir, 'portavel.toml');
    fs.writeFileSync(config, [
      '[database]',
      'userdata  = "UserData.sqlite"',
      'localdata = "LocalData.sqlite"',
      '',
      '[session]',
      // 64 base64 characters: hex could fall short of the 16 different ones a secret needs.
      `secret = "${randomBytes(48).toString('base64')}"`,
      '',
      '[gateways]',
      `form_post_urls = ["${gatewayBase}", "${gatewayBase}", "${gatewayBase}"]`,
      'ca_file = "gateway/ca.pem"',
      '',
    ].join('\n'));
    const made = run(path.join(binDir, 'portavel-db'), ['--config', config, 'demo'], fakeClock);
    assert.match(made, new RegExp(`${customer.id}\\s+${customer.password}`));

    const docroot = path.join(workDir, 'www');
    fs.mkdirSync(docroot);
    run('python3', [path.join(repo, 'demo-support', 'make-logo.py'), path.join(docroot, 'Logo.png')]);
    const port = await freeLoopbackPort();
    baseUrl = `http://127.0.0.1:${port}`;
    const serverConfig = path.join(workDir, 'lighttpd.conf');
    const envArgs = Object.entries(fakeClock).flatMap(([name, value]) => ['--env', `${name}=${value}`]);
    fs.writeFileSync(serverConfig, run(path.join(repo, 'demo-support', 'write-lighttpd-conf'), [
      '--port', String(port), '--docroot', docroot, '--cgi', path.join(binDir, 'Portavel'),
      '--config', config, ...envArgs,
      ...(fastcgi ? ['--fastcgi', path.join(workDir, 'fastcgi.socket')] : []),
    ]));

    // Without an error log file lighttpd writes its own messages and the
    // program's to its standard error, kept here for a failure report.
    server = spawn(lighttpdPath, ['-D', '-f', serverConfig], { stdio: ['ignore', 'pipe', 'pipe'] });
    server.stdout.on('data', (chunk) => { serverLog += chunk; });
    server.stderr.on('data', (chunk) => { serverLog += chunk; });
    await waitForServer();

    browser = await chromium.launch({
      executablePath: chromiumPath,
      args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    page = await browser.newPage();
  });

  after(async () => {
    try {
      if (browser) await browser.close();
    } finally {
      if (server) {
        const exited = new Promise((resolve) => server.once('exit', resolve));
        stopServer();
        if (server.exitCode === null && server.signalCode === null) await exited;
      }
      removeWorkDir();
    }
  });

  it('shows the login page with the logo', async () => {
    await page.goto(`${baseUrl}/`);
    assert.equal(page.url(), `${baseUrl}${scriptName}/Login`);
    assert.equal(await page.title(), 'Account Login');
    const logoWidth = await page.$eval('img[alt="Logo.png"]', (img) => img.naturalWidth);
    assert.ok(logoWidth > 0, '/Logo.png did not load');
    await screenshot('login');
  });

  it('refuses a wrong password', async () => {
    await logIn('not-the-password');
    assert.equal(await page.title(), 'OOPS!');
    assert.match(await bodyText(), /Password is incorrect for the specified customer account ID!/);
    await screenshot('wrong-password');
  });

  it('logs in and lands on the welcome page', async () => {
    await logIn(customer.password);
    // The login answer refreshes to MainAccountPg by GET, which the
    // fallback answers with the welcome page.
    await page.waitForURL(`${baseUrl}${scriptName}/MainAccountPg`);
    await page.waitForLoadState('load');
    assert.equal(await page.title(), 'Welcome');
    const cookies = Object.fromEntries((await page.context().cookies()).map((c) => [c.name, c.value]));
    assert.equal(cookies.AccountID, customer.id);
    // The time of login, then the HMAC.
    assert.match(cookies.AccountSig ?? '', /^[0-9]+\.[0-9a-f]{64}$/);
    await screenshot('welcome');
  });

  it('shows the account, its tank and its invoices', async () => {
    await press('Go To Account.');
    assert.equal(await page.title(), 'Harbor Valley Propane');
    const text = await bodyText();
    assert.match(text, new RegExp(`Hello ${customer.name}`));
    assert.match(text, /This is your account information/);
    const [account, tanks, invoices] = await tableTexts();
    assert.match(account, /HV1001\s+Robert Smith/);
    assert.match(account, /370\.55/);
    assert.match(tanks, /HV-40211/);
    assert.match(tanks, /Normal/);
    // Dated by the faked clock: twelve days before 2024-03-31.
    assert.match(invoices, /20416\s+03-19-24\s+Propane Delivery/);
    await screenshot('account');
  });

  it('accepts a fuel request for the one tank', async () => {
    await press('Request Fuel');
    assert.equal(await page.title(), 'Fuel Request');
    assert.match(await bodyText(), /Your request has been succefully processed/);
    await screenshot('fuel-request');

    await press('Go Back to Account information');
    const [, tanks] = await tableTexts();
    assert.match(tanks, /Internet Request/);
    await screenshot('account-after-request');
  });

  it('pays the bill with the card on file', async () => {
    await press('Pay My Bill');
    await screenshot('choose-payment');
    await press('Use Visa ending 1111');
    // The amount due is filled in.
    assert.equal(await page.inputValue('input[name="Payment"]'), '370.55');
    await screenshot('pay-bill');
    await press('Pay Now');
    assert.match(await bodyText(), /Transaction Successful\./);
    await screenshot('paid-card-on-file');
    await press('Go To Account.');
    const [account, , invoices] = await tableTexts();
    assert.match(invoices, /CC 1001/);
    assert.doesNotMatch(account, /370\.55/);
  });

  it('pays with a newly entered card, and a declined card posts nothing', async () => {
    // Another amount: the same amount again within two minutes would be
    // taken for the first payment sent twice.
    for (const [card, outcome, amount] of [['4111 1111 1111 1111', /Transaction Successful\./, '25.00'],
      ['4000000000000002', /Transaction was not successful\.\s+Please call the office: \(541\) 555-0100/, '26.00']]) {
      await press('Pay My Bill');
      await press('Enter Credit Card Information');
      await page.fill('#CardNum', card);
      await page.selectOption('select[name="ExpMonth"]', '07');
      await page.selectOption('select[name="ExpYear"]', '29');
      await page.fill('#CVN', '123');
      await page.fill('#billname', customer.name);
      await page.fill('#billaddress', '120 Maple Avenue');
      await page.fill('#billzip', '97420');
      await page.fill('input[name="Payment"]', amount);
      if (outcome.source.startsWith('Transaction Successful')) await screenshot('card-entry');
      await press('Pay Now');
      assert.match(await bodyText(), outcome);
      await press('Go To Account.');
    }
    await screenshot('account-after-payments');
    const [, , invoices] = await tableTexts();
    assert.match(invoices, /CC 1002/);
    assert.doesNotMatch(invoices, /CC 1003/);
  });

  it('changes the password', async () => {
    await press('Change Password');
    await page.fill('input[name="OldPassword"]', customer.password);
    await page.fill('input[name="NewPassword"]', newPassword);
    await page.fill('input[name="NewPassword2"]', newPassword);
    await screenshot('password-change');
    await press('Change Password');
    assert.match(await bodyText(), /Password has been successfully changed\./);
    await screenshot('password-changed');
    await press('Go Back to Account information');
    assert.match(await bodyText(), /This is your account information/);
  });

  it('logs out', async () => {
    await press('Logout');
    assert.match(await bodyText(), /You have been logged out\./);
    const cookies = Object.fromEntries((await page.context().cookies()).map((c) => [c.name, c.value]));
    assert.equal(cookies.AccountID, '-1');
    await screenshot('logged-out');
  });

  it('logs in with the new password only', async () => {
    await logIn(customer.password);
    assert.equal(await page.title(), 'OOPS!');
    await logIn(newPassword);
    await page.waitForURL(`${baseUrl}${scriptName}/MainAccountPg`);
    await page.waitForLoadState('load');
    assert.equal(await page.title(), 'Welcome');
    await screenshot('welcome-new-password');
  });
});
