x::A
