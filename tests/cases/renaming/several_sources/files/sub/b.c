B x
