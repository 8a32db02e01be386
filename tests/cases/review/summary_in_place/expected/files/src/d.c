int unchanged; // unused_name
