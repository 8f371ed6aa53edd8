lights 2
<
(name "key"
  brightness 1.5
  rgb 1 0.95 0.8
  direction -0.5 -1 -0.25
)
(name "fill"
  brightness 0.4
  rgb 0.6 0.7 1
  direction 0.75 -0.5 0.5
)
>
