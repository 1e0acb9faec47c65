# Platform layer sources compiled into quorbilan_core on this (Linux) host.
set(QUORBILAN_SYSTEM_SOURCES
)
