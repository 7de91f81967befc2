# Pin assignments of the counter demo: a 50 MHz clock, an active-low reset and eight LEDs.
# The balls lie inside the smallest package grid (H29), so the design fits every Arria II GZ package.
set_location_assignment PIN_AB15 -to CLK
set_location_assignment PIN_AA15 -to RST_N
set_location_assignment PIN_C3 -to LED[0]
set_location_assignment PIN_C4 -to LED[1]
set_location_assignment PIN_D3 -to LED[2]
set_location_assignment PIN_D4 -to LED[3]
set_location_assignment PIN_E3 -to LED[4]
set_location_assignment PIN_E4 -to LED[5]
set_location_assignment PIN_F3 -to LED[6]
set_location_assignment PIN_F4 -to LED[7]
set_instance_assignment -name IO_STANDARD "2.5 V" -to CLK
set_instance_assignment -name IO_STANDARD "2.5 V" -to RST_N
set_instance_assignment -name IO_STANDARD "2.5 V" -to LED[*]
