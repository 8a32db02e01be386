p = new T; delete p; a and b; c bitand d; e xor_eq f; and_eq;
