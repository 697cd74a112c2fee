# The one place that holds the product version.
set(MDR_VERSION_TEXT "1.0 BETA (32 bit edition)")
set(MDR_VERSION_MAJOR 1)
set(MDR_VERSION_MINOR 0)
set(MDR_VERSION_PATCH 0)
set(MDR_VERSION_BUILD 1)
set(MDR_COMPANY "Veltrane")
set(MDR_PRODUCT "Veltrane Mendora")
