int important;
