-- The rights of the portal's own PostgreSQL role: what the portal's
-- requests read and write, and nothing else. No CREATE anywhere, no
-- TRUNCATE, no rights on tables the portal does not touch, so a portal
-- server that is broken into cannot change the tables' layout, empty a
-- table at one stroke or read the dealer's other tables.
--
-- Apply it as the role that owns the tables (the one `portavel-db init`
-- ran as), after `portavel-db init` and again after every upgrade of
-- Portavel, which may bring tables the portal uses (docs/deployment.md,
-- "PostgreSQL"):
--
--   psql "host=localhost dbname=portavel user=portavel" --quiet \
--     -v role=portavel_web -f /usr/share/doc/portavel/examples/postgresql/portavel-portal-role.sql
--
-- The role must exist (CREATE ROLE portavel_web LOGIN, made by the
-- cluster's administrator) and the schemas userdata and localdata with
-- every table (portavel-db init makes them). The file first takes back what
-- the owner granted the role before, so that after it the role holds
-- exactly the rights below. It runs in one transaction: it grants all or
-- nothing.
--
-- What each right is for:
--   SELECT      every table a page, /rd or /bi reads
--   UPDATE      Keys (key draws), RemotePrefs (the card invoice counter),
--               Accounts (aging, web password), Tanks (fuel requests),
--               Manifest, Invoices, Transactions, TransTaxLkUp (payments,
--               deliveries), ccTransactions (card log), LoginFailures
--   INSERT      the same posting tables, Accounts and Tanks (a delivery
--               for an account or tank the office has not made yet), Log
--               (the event log), scid (the installation identity, written
--               by the first request to a store without one)
--   DELETE      Invoices and Transactions (a declined payment is taken out
--               again), TransTaxLkUp (tax lines recomputed), ccTransactions
--               (a card log row reserved for a charge that was not sent),
--               LoginFailures (counts that ran out)
--   EXECUTE     portavel_nocase, the case-insensitive compare of account
--               IDs and key names (and of the indexes built on it)
-- Row numbers (the rowid identity columns) need no right on their
-- sequences. The portal adds no taxes, so neither the Taxes key's sequence
-- nor the portavel_autoinc trigger function is granted.

\set ON_ERROR_STOP on
\if :{?role}
\else
  DO $$ BEGIN RAISE EXCEPTION 'name the portal''s role: psql -v role=NAME -f portavel-portal-role.sql'; END $$;
\endif

BEGIN;

REVOKE ALL ON ALL TABLES IN SCHEMA userdata, localdata FROM :"role";
REVOKE ALL ON ALL SEQUENCES IN SCHEMA userdata, localdata FROM :"role";
REVOKE ALL ON ALL FUNCTIONS IN SCHEMA userdata, localdata FROM :"role";
REVOKE ALL ON SCHEMA userdata, localdata FROM :"role";

GRANT CONNECT ON DATABASE :"DBNAME" TO :"role";
GRANT USAGE ON SCHEMA userdata, localdata TO :"role";
GRANT EXECUTE ON FUNCTION userdata.portavel_nocase(text), localdata.portavel_nocase(text)
  TO :"role";

-- UserData: the dealer's business tables.
GRANT SELECT ON
  userdata."Company",
  userdata."ArchInv",
  userdata."AppliedTo",
  userdata."TaxLkUp",
  userdata."TankTaxLkUp",
  userdata."PCTLkUp",
  userdata."Products",
  userdata."Employee",
  userdata."PriceTiers",
  userdata."PBTankLkUp",
  userdata."PBcontracts",
  userdata."CCMerchants",
  userdata."PMNT_URL",
  userdata."Tierdateprices",
  userdata."acct"
  TO :"role";
GRANT SELECT, UPDATE ON
  userdata."RemotePrefs",
  userdata."Keys"
  TO :"role";
GRANT SELECT, INSERT ON
  userdata."Log",
  userdata."scid"
  TO :"role";
GRANT SELECT, INSERT, UPDATE ON
  userdata."Accounts",
  userdata."Tanks",
  userdata."Manifest"
  TO :"role";
GRANT SELECT, INSERT, UPDATE, DELETE ON
  userdata."Invoices",
  userdata."Transactions",
  userdata."TransTaxLkUp",
  userdata."ccTransactions"
  TO :"role";

-- LocalData: taxes, the mail settings and the login limit's counts.
GRANT SELECT ON
  localdata."Taxes",
  localdata."e_stmt_smtp_cnxn_cfg"
  TO :"role";
GRANT SELECT, INSERT, UPDATE, DELETE ON
  localdata."LoginFailures"
  TO :"role";

COMMIT;
