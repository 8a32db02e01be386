A::A and A
