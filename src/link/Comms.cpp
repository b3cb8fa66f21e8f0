// placeholder until the port layer lands
