select &schema.orders.id, emp_&sfx, a . b, t.*, x.y@link.example from &&schema..orders, "Mixed"."T"@db;
truncate table &&owner.t_&suffix;
