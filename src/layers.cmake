# The layers of the program: each folder of src/ and the folders whose
# headers its code may include. An engine folder's library links exactly
# the libraries of these folders, and scripts/check_layers.cmake holds every
# source file to this list, so a new dependency is written here first.
#
#   engine (bottom: text, rounding, the operation host) and platform (the
#   operating system) use nothing of ours, nor does carve (files recognised
#   by their content, as plain byte streams); settings and volume stand on
#   engine and platform; scan on volume and carve; restore and wipe on scan; exfat (the exFAT
#   reader, its scans, extraction and wipes) on restore and wipe; jobs (the commands over the
#   shared state) on everything below; presentation (the flow of the windows, shared by
#   every desktop front end, with no toolkit) on jobs; the command line on jobs, the
#   desktop program on presentation.
set(ORVANTA_LAYERS engine platform carve settings volume scan restore wipe exfat jobs presentation cli gui)

set(ORVANTA_USES_engine)
set(ORVANTA_USES_platform)
set(ORVANTA_USES_carve)
set(ORVANTA_USES_settings engine platform)
set(ORVANTA_USES_volume engine platform)
set(ORVANTA_USES_scan engine platform carve settings volume)
set(ORVANTA_USES_restore engine platform carve settings volume scan)
set(ORVANTA_USES_wipe engine platform carve settings volume scan)
set(ORVANTA_USES_exfat engine platform carve settings volume scan restore wipe)
set(ORVANTA_USES_jobs engine platform carve settings volume scan restore wipe exfat)
set(ORVANTA_USES_presentation engine platform carve settings volume scan restore wipe exfat jobs)
set(ORVANTA_USES_cli engine platform carve settings volume scan restore wipe exfat jobs)
set(ORVANTA_USES_gui engine platform carve settings volume scan restore wipe exfat jobs presentation)
