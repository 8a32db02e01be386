class old {};
