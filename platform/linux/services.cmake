# Non-GUI Linux services: by-name libraries, /proc snapshot, counters, system info, threads.
