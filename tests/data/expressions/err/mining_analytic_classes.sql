select prediction_probability(for a, 1) over () from t;
