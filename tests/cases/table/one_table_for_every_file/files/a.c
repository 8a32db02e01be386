first second loop1 loop2 split \u00C0 \U000000C0 and x;
sp\
lit = "first"; /* first */ third
