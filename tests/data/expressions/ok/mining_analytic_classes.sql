select prediction_probability(for a, 1 using *) over () from t;
select prediction_set(for a, 2, 0.5 using a, b) over (partition by c) from t;
select prediction_details(for a, 'hi', 5 desc using *) over (), prediction_cost(for a, 1 cost model auto using *) over () from t;
select prediction_cost(for a, 'y' cost ('y', 'n') values ((0, 1), (1, 0)) using *) over () from t;
