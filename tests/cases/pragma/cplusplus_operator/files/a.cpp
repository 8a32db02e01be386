ns::f(); _Pragma("omp parallel") ns::g();
