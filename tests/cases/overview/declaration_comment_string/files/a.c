int old_name; /* old_name */ char *s = "old_name";
