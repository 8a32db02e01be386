#if __STDC_IEC_559__
