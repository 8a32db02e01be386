int old_name;
