-- SPDX-License-Identifier: GPL-3.0-or-later
-- The station directory on a PostgreSQL server, shared by a team of
-- operators. Run once with psql on the database the clients will use:
--   psql -d volnar -f directory-postgresql.sql
-- then point each client at it (Options > DataBase) with an ODBC connection
-- string such as
--   DRIVER={PostgreSQL Unicode};Server=db.example;Port=5432;Database=volnar;Uid=operator;Pwd=secret;
-- Column names are unquoted (PostgreSQL folds them) except "DEFAULT", which
-- is a keyword and stays quoted and upper case everywhere.
CREATE TABLE main (
    IPADDRESS VARCHAR(15),
    PASSWORD  VARCHAR(35),
    COMMENT   VARCHAR(50),
    "DEFAULT" VARCHAR(10),
    PORT      VARCHAR(10) DEFAULT '161',
    TIMEOUT   VARCHAR(10) DEFAULT '5',
    RETRIES   VARCHAR(10) DEFAULT '0'
);
INSERT INTO main (IPADDRESS, PASSWORD, COMMENT, "DEFAULT", PORT, TIMEOUT, RETRIES)
    VALUES ('10.10.10.10', 'none', 'Default IP', 'YES', '161', NULL, '0');
