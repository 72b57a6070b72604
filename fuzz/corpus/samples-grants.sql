PROMPT Granting access
GRANT SELECT ON open_orders TO reporting_role;
GRANT EXECUTE ON order_api TO app_role;
