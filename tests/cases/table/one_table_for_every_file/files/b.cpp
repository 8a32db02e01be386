first and;
