_Pragma("pack(1)") pack
_Pragma("once") once
#pragma once
