

 inta;
 	 x 
