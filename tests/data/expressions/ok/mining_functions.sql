select prediction(m using *), prediction_probability(m, 1 using *), prediction_details(m, null, 8 using *) from t;
select prediction_cost(m, 1 cost model auto using *), prediction(m cost model using t.*, a, b + 1 as b1) from t;
select prediction_bounds(m, 0.9 using a, b), prediction_set(m, 2, 0.5 cost model using *) from t;
select prediction(m cost (0, 1) values ((0, 1), (1, 0)) using *) from t;
select cluster_id(m using *), cluster_details(m, 3, 5 using c.*), cluster_distance(m using a as x), cluster_probability(m, 2 using *), cluster_set(m, null, 0.2 using *) from t c;
select feature_id(m using *), feature_details(m, 1, 5 using *), feature_set(m, 3 using a, b), feature_value(m, 2 using *), feature_compare(m using 'x' as a and using 'y' as a), ora_dm_partition_name(m using *) from t;
select prediction(for age using a, b) over (), cluster_id(into 4 using *) over (), feature_set(into 6 using *) over () from t;
select prediction(of anomaly using *) over (partition by c), prediction_probability(of anomaly, 1 using a, b + c as d) over (partition by c, e), cluster_set(into 3, null, 0.1 using *) over (partition by c) from t;
