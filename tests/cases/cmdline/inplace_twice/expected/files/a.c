int new;
