

  
	
int a;


   
int b;   

