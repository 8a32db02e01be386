int a;
   