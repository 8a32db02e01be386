int same;
