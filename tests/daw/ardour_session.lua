-- Drives Ardour headless (ardour7-lua) the way a user would: a track with the
-- plug-in on it, a parameter turned, the master bus recorded, the session saved
-- and opened again. The test program reads what it prints ("zorvalune: ...")
-- and the recorded files. The master bus is recorded onto a track rather than
-- exported: Ardour 7.3's export, run from Lua, corrupts its heap in about one
-- run in eight.
--
-- Environment: ZORVALUNE_PHASE (create | preset | reload | sidechain | latency
-- | sequencer), ZORVALUNE_SESSION (folder), ZORVALUNE_FORMAT (VST3 | LV2),
-- ZORVALUNE_CHANNELS (1 | 2), ZORVALUNE_STRICT (1 | 0), ZORVALUNE_PARAMETER (index),
-- ZORVALUNE_PARAMETER_NAME, ZORVALUNE_VALUE (normalised), ZORVALUNE_PRESET (a
-- factory preset's name), ZORVALUNE_RATE (Hz, 48000 unless given).

local phase = os.getenv ("ZORVALUNE_PHASE")
local folder = os.getenv ("ZORVALUNE_SESSION")
local format = os.getenv ("ZORVALUNE_FORMAT")
local channels = tonumber (os.getenv ("ZORVALUNE_CHANNELS") or "1")
local strict = os.getenv ("ZORVALUNE_STRICT") == "1"
local seconds = 1.5   -- each recording
local rate = tonumber (os.getenv ("ZORVALUNE_RATE") or "48000")

local function report (...)
	print ("zorvalune: " .. table.concat ({ ... }, " "))
	io.stdout:flush ()
end

local function fail (message)
	report ("error", message)
	os.exit (1)
end

local function wait_until (condition, what)
	local deadline = ARDOUR.LuaAPI.monotonic_time () + 30e6
	while not condition () do
		if ARDOUR.LuaAPI.monotonic_time () > deadline then fail (what) end
		ARDOUR.LuaAPI.usleep (2000)
	end
end

-- The dummy backend's inputs play sines a third of an octave apart (about
-- 397 Hz, 500 Hz, 630 Hz ... at -18 dBFS); ten times real time keeps the
-- recordings short.
local backend = AudioEngine:set_backend ("None (Dummy)", "", "")
-- The latency phase lines up noise, which matches itself at one lag only.
backend:set_device_name (phase == "latency" and "Uniform White Noise" or "Sine Wave 1K, 1/3 Oct")
backend:set_driver ("10x Speed")
backend = nil

local function plugin_type ()
	return format == "VST3" and ARDOUR.PluginType.VST3 or ARDOUR.PluginType.LV2
end

-- Ardour shows an LV2 parameter as a property control named after its URI
-- (".../zorvalune:p<index>"), a VST3 parameter as a control port by its name
-- (it leaves out the parameters a host may not automate, so indices shift).
-- Returns a getter and a setter, or nothing.
local function parameter_of (processor, index, name)
	if format == "LV2" then
		for c in PBD.Controllable.registered_controllables ():iter () do
			if c:name ():match (":p" .. index .. "$") then
				local control = c:to_automationcontrol ()
				return function () return control:get_value () end,
				       function (v) control:set_value (v, PBD.GroupControlDisposition.NoGroup) end
			end
		end
		return nil
	end
	local plugin = processor:to_insert ():plugin (0)
	for i = 0, plugin:parameter_count () - 1 do
		local id, ok = plugin:nth_parameter (i, true)
		if ok and plugin:parameter_is_input (id) and plugin:parameter_label (id) == name then
			return function () return ARDOUR.LuaAPI.get_processor_param (processor, i, true) end,
			       function (v) ARDOUR.LuaAPI.set_processor_param (processor, i, v) end
		end
	end
	return nil
end

local function set_parameter (processor, index, name, value)
	local _, set = parameter_of (processor, index, name)
	if not set then fail ("no control for parameter " .. name) end
	set (value)
end

local function describe_plugin (track)
	local processor = track:nth_plugin (0)
	if processor:isnil () then fail ("no plug-in on the track") end
	local insert = processor:to_insert ()
	report ("plugin", "count", insert:get_count (),
	        "in", insert:input_streams ():n_audio (), "out", insert:output_streams ():n_audio (),
	        "track-out", track:n_outputs ():n_audio ())
	report ("plugin-path", insert:plugin (0):get_info ().path)
	return processor
end

-- Records what the master bus plays for `seconds` and reports the files of
-- that take. One recording track serves every take: a second track armed
-- after a take sometimes records nothing in Ardour 7.3.
local function recorder_track ()
	local route = Session:route_by_name ("recorder")
	if not route:isnil () then return route:to_track () end

	-- No outputs: Ardour connects a new track's outputs to the master in a
	-- thread of its own, sometimes after the script has routed the track; the
	-- master would then feed back into itself and Ardour, unable to order the
	-- master before the recorder, would run them in either order, cycle by
	-- cycle, and the take would repeat and skip blocks.
	local recorder = Session:new_audio_track (2, 0, nil, 1, "recorder", ARDOUR.PresentationInfo.max_order,
	                                          ARDOUR.TrackMode.Normal, false):front ()
	recorder:input ():disconnect_all (nil)
	local master = Session:master_out ()
	for c = 0, 1 do recorder:input ():audio (c):connect (master:output ():audio (c):name ()) end
	return recorder
end

-- `midway`, when given, runs half-way through the take.
local function record_master (take, midway)
	local function wait (condition, what) wait_until (condition, what .. " (take " .. take .. ")") end

	-- The recorder is armed once and stays armed, as a user leaves a track
	-- armed between takes. Arming it again right after a take crashes Ardour
	-- 7.3: its butler is still replacing the track's write sources when the
	-- arm reaches them (a null source in DiskWriter::prep_record_enable).
	local recorder = recorder_track ()
	local arm = recorder:rec_enable_control ()
	if arm:get_value () < 0.5 then
		arm:set_value (1, PBD.GroupControlDisposition.NoGroup)
		wait (function () return arm:get_value () > 0.5 end, "the track did not arm")
	end

	-- Arming and new connections take effect in the audio thread, a new
	-- track joins the process graph a few cycles later: a take that starts
	-- before would miss its start and record nothing.
	ARDOUR.LuaAPI.wait_for_process_callback (16, 5000)

	-- The take is the region that was not there before it: after a reload the
	-- playhead is back at the start, so positions do not tell.
	local function file_of (region) return region:source (0):to_filesource ():path () end
	local earlier = {}
	for r in recorder:playlist ():region_list ():iter () do earlier[file_of (r)] = true end

	-- Each take goes on from where the last one stopped.
	local start = Session:transport_sample ()
	Session:maybe_enable_record (false)
	Session:request_roll (ARDOUR.TransportRequestSource.TRS_UI)
	wait (function () return Session:actively_recording () end, "no recording")
	if midway then
		wait (function () return Session:transport_sample () >= start + seconds * rate / 2 end, "the transport did not roll")
		midway ()
	end
	wait (function () return Session:transport_sample () >= start + seconds * rate end, "the transport did not roll")
	Session:request_stop (false, false, ARDOUR.TransportRequestSource.TRS_UI)

	-- The take becomes a region once the butler has written and closed it.
	local region = nil
	wait (function ()
		if Session:transport_rolling () then return false end
		for r in recorder:playlist ():region_list ():iter () do
			if not earlier[file_of (r)] then region = r end
		end
		return region ~= nil
	end, "no region")

	report ("take", take, region:source (0):to_filesource ():path (), region:source (1):to_filesource ():path ())
end

local function list_factory_presets (processor)
	local names = { "default", "steady noise", "snare noise", "flute noise", "a little lofi",
	                "old casette", "random tape wobble", "hell" }
	local plugin = processor:to_insert ():plugin (0)
	for _, name in ipairs (names) do
		local preset = plugin:preset_by_label (name)
		if preset then
			report ("preset", preset.user and "user" or "factory", name)
		else
			report ("preset", "missing", name)
		end
	end
end

local function new_track (strict_io)
	local track = Session:new_audio_track (channels, 2, nil, 1, "Zorvalune", ARDOUR.PresentationInfo.max_order,
	                                       ARDOUR.TrackMode.Normal, true):front ()
	track:set_strict_io (strict_io)

	-- Ardour connects a new track in a thread of its own, its inputs to the
	-- sines, its outputs to the master: a take that starts before misses them.
	local master = Session:master_out ()
	wait_until (function ()
		for c = 0, channels - 1 do
			if not track:input ():audio (c):physically_connected () then return false end
		end
		for c = 0, 1 do
			if not track:output ():audio (c):connected_to (master:input ():audio (c):name ()) then return false end
		end
		return true
	end, "the new track was not connected")
	track:monitoring_control ():set_value (ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)
	return track
end

-- Every input of the track plays the same sine, as a mono source panned to
-- the middle of a stereo track does. With `gap` (process cycles) the first
-- input plays that long alone, as when a user connects them one by one.
local function feed_one_source (track, gap)
	local source = "system:capture_1"
	track:input ():disconnect_all (nil)
	for c = 0, channels - 1 do
		track:input ():audio (c):connect (source)
		if gap and c == 0 then ARDOUR.LuaAPI.wait_for_process_callback (gap, 5000) end
	end
	wait_until (function ()
		for c = 0, channels - 1 do
			if not track:input ():audio (c):connected_to (source) then return false end
		end
		return true
	end, "the track's inputs were not connected to one source")
end

local function insert_plugin (track)
	local plugin = ARDOUR.LuaAPI.new_plugin (Session, "Zorvalune", plugin_type (), "")
	if plugin:isnil () then fail ("Ardour does not know the plug-in") end
	if track:add_processor_by_index (plugin, 0, nil, true) ~= 0 then fail ("the track refused the plug-in") end
	return plugin
end

-- The same input on two mono tracks, the bare one to the master's left, the
-- one with the plug-in to its right. Both record it once; every take after
-- that plays it back, which is where Ardour makes up for a plug-in's delay:
-- the two sides should line up. Takes: as inserted, after the parameter
-- moved, with the plug-in bypassed half-way through, two each with the
-- tape's wobble on (the last of them 20 s long), 26 s of the slowest wobble,
-- and a new instance's dry with the wobble on, then with a modulation on it.
local function run_latency (index, name, value)
	local function track_to (side)
		local track = new_track (true)
		track:input ():disconnect_all (nil)
		track:input ():audio (0):connect ("system:capture_1")
		track:output ():disconnect_all (nil)
		track:output ():audio (side):connect (Session:master_out ():input ():audio (side):name ())
		return track
	end

	local tracks = { track_to (0), track_to (1) }
	local function arm_all (on)
		for _, track in ipairs (tracks) do track:rec_enable_control ():set_value (on, PBD.GroupControlDisposition.NoGroup) end
		wait_until (function ()
			for _, track in ipairs (tracks) do
				if (track:rec_enable_control ():get_value () > 0.5) ~= (on == 1) then return false end
			end
			return true
		end, "the tracks did not arm or disarm")
	end

	arm_all (1)
	local source = Session:transport_sample ()
	seconds = 26.5   -- as long as the longest take
	record_master ("source")
	seconds = 1.5

	-- Disarmed once their takes are regions: the butler is done with them.
	wait_until (function ()
		for _, track in ipairs (tracks) do
			local any = false
			for _ in track:playlist ():region_list ():iter () do any = true end
			if not any then return false end
		end
		return true
	end, "the tracks recorded nothing")
	arm_all (0)
	for _, track in ipairs (tracks) do
		track:monitoring_control ():set_value (ARDOUR.MonitorChoice.MonitorDisk, PBD.GroupControlDisposition.NoGroup)
	end

	-- Ardour hears of a new delay a few cycles after the plug-in settles on
	-- it (from the plug-in's own message thread): wait until the track's
	-- delay is not `old` and has held for a third of a second.
	local function latency_other_than (old)
		local last, since = -1, 0
		wait_until (function ()
			local now = tracks[2]:signal_latency ()
			if now ~= last then last, since = now, ARDOUR.LuaAPI.monotonic_time () end
			return now ~= old and ARDOUR.LuaAPI.monotonic_time () - since > 330000
		end, "Ardour was not told the plug-in's delay")
		return last
	end

	local function replay (take, midway)
		-- Ardour 7.3 drops a locate asked for while the transport still
		-- declicks to its stop: ask again until it is there.
		wait_until (function ()
			if Session:transport_sample () == source and not Session:transport_rolling () then return true end
			Session:request_locate (source, false, ARDOUR.LocateTransportDisposition.MustStop, ARDOUR.TransportRequestSource.TRS_UI)
			ARDOUR.LuaAPI.usleep (20000)
			return false
		end, "no locate")
		record_master (take, midway)
	end

	local processor = insert_plugin (tracks[2])
	describe_plugin (tracks[2])
	local inserted = latency_other_than (0)
	report ("latency", "inserted", inserted)
	replay ("inserted")

	set_parameter (processor, index, name, value)
	local moved = latency_other_than (inserted)
	report ("latency", "moved", moved)
	replay ("moved")

	replay ("bypassed", function () processor:to_insert ():enable (false) end)
	report ("enabled", processor:to_insert ():enabled () and 1 or 0)

	-- The tape's wobble on at 1 Hz, at the default depth and then deeper:
	-- two playbacks each, a little longer than a wobble (the last one 20 s);
	-- then the slowest wobble, 0.1 Hz, for two and a half of its turns, and
	-- the delay Ardour holds after them.
	processor:to_insert ():enable (true)
	seconds = 1.6
	set_parameter (processor, 22, "TapeRotation", 0.01)
	set_parameter (processor, 20, "Tape_On", 1)
	local wobbling = latency_other_than (moved)
	report ("latency", "wobbling", wobbling)
	replay ("wobbling")
	replay ("wobbling-again")
	set_parameter (processor, 21, "TapeFreqDelta", 0.8)
	local deep = latency_other_than (wobbling)
	report ("latency", "deep", deep)
	replay ("deep")
	seconds = 20
	replay ("deep-again")
	set_parameter (processor, 22, "TapeRotation", 0)
	report ("latency", "slow", latency_other_than (deep))
	seconds = 26
	replay ("slow")
	report ("latency", "played", tracks[2]:signal_latency ())

	-- A fresh instance, the dry alone, with the tape at depth 0.8 set while
	-- stopped about a second after the insert: Ardour must hear of its delay
	-- before the take. Then a 1 Hz LFO's destination set alone onto the
	-- tape's depth while stopped (its rate and depth came with the tape and
	-- move nothing without it): the delay stays, and so does the dry.
	tracks[2]:remove_processor (processor, nil, true)
	processor = insert_plugin (tracks[2])
	local second = math.floor (rate / Session:get_block_size ())
	ARDOUR.LuaAPI.wait_for_process_callback (second, 5000)
	for _, p in ipairs ({ { 0, "Dry Wet", 0 }, { 20, "Tape_On", 1 }, { 21, "TapeFreqDelta", 0.8 },
	                      { 25, "LFO1Freq", 0.0025 }, { 24, "Mod1_Depth", 1 } }) do
		set_parameter (processor, p[1], p[2], p[3])
	end
	report ("latency", "taped", latency_other_than (inserted))
	seconds = 1.5
	replay ("taped")
	set_parameter (processor, 27, "Mod1Dest", 0.06)
	-- Two seconds of audio, and time for a report to reach Ardour were there one.
	ARDOUR.LuaAPI.wait_for_process_callback (2 * second, 5000)
	ARDOUR.LuaAPI.usleep (330000)
	report ("latency", "destination", tracks[2]:signal_latency ())
	replay ("destination")

	-- The wobbling tape switched off with a new depth at once while stopped,
	-- at three points of its wobble (a third of a second more each time):
	-- Ardour must hear of the line's delay, and each take line up exactly.
	-- Between them the tape wobbles again.
	set_parameter (processor, 27, "Mod1Dest", 0)
	local wobbling = tracks[2]:signal_latency ()
	for point = 1, 3 do
		ARDOUR.LuaAPI.wait_for_process_callback (point * math.floor (second / 3), 5000)
		set_parameter (processor, 20, "Tape_On", 0)
		set_parameter (processor, 21, "TapeFreqDelta", 0.3)
		report ("latency", "off" .. point, latency_other_than (wobbling))
		replay ("off" .. point)
		set_parameter (processor, 20, "Tape_On", 1)
		set_parameter (processor, 21, "TapeFreqDelta", 0.8)
		wobbling = latency_other_than (tracks[2]:signal_latency ())
	end

	-- A rotation changed while stopped, and play pressed a second of audio
	-- later: Ardour must have heard of the new delay by then.
	set_parameter (processor, 22, "TapeRotation", 0.002)
	ARDOUR.LuaAPI.wait_for_process_callback (second, 5000)
	ARDOUR.LuaAPI.usleep (50000)
	report ("latency", "rotated", tracks[2]:signal_latency ())
	replay ("rotated")
	report ("latency", "rotated-after", tracks[2]:signal_latency ())
end

local function run ()
	local index = tonumber (os.getenv ("ZORVALUNE_PARAMETER"))
	local name = os.getenv ("ZORVALUNE_PARAMETER_NAME")
	local value = tonumber (os.getenv ("ZORVALUNE_VALUE"))

	if phase == "create" then
		local track = new_track (strict)
		record_master ("reference")
		local processor = insert_plugin (track)
		set_parameter (processor, index, name, value)
		describe_plugin (track)
		list_factory_presets (processor)
		record_master ("processed")
		Session:save_state ("", false, false, false, false, false)
	elseif phase == "preset" then
		-- The preset is loaded through the insert's first plug-in only, as a
		-- user does in its editor: it reaches every channel only when one
		-- instance runs them all.
		local track = new_track (strict)
		feed_one_source (track)
		record_master ("reference")
		local processor = insert_plugin (track)
		describe_plugin (track)
		local plugin = processor:to_insert ():plugin (0)
		local preset = plugin:preset_by_label (os.getenv ("ZORVALUNE_PRESET"))
		if not preset then fail ("no preset " .. tostring (os.getenv ("ZORVALUNE_PRESET"))) end
		if not plugin:load_preset (preset) then fail ("the preset did not load") end
		-- Longer than the noise gate's level window: the two channels' noise
		-- parts, and the take's transport start must bring it together again.
		feed_one_source (track, 8)
		record_master ("processed")
		Session:save_state ("", false, false, false, false, false)
	elseif phase == "reload" then
		local track = Session:route_by_name ("Zorvalune"):to_track ()
		local processor = describe_plugin (track)
		local get = parameter_of (processor, index, name)
		report ("parameter", get and string.format ("%.6f", get ()) or "none")
		record_master ("reloaded")
		-- Saved again, so that the plug-in's own state after the reload is on disk.
		Session:save_state ("", false, false, false, false, false)
	elseif phase == "sidechain" then
		-- Modulation 1 takes the side-chain input and ring-modulates the input
		-- with it: without a side chain routed the track falls silent.
		local track = new_track (true)
		local processor = insert_plugin (track)
		set_parameter (processor, 26, "Mod1Source", 0.05)
		set_parameter (processor, 27, "Mod1Dest", 0.03)
		record_master ("unrouted")
		if not track:add_sidechain (processor) then fail ("no side chain") end
		processor:to_insert ():sidechain_input ():audio (0):connect ("system:capture_3")
		record_master ("routed")
	elseif phase == "latency" then
		run_latency (index, name, value)
	elseif phase == "sequencer" then
		-- The plug-in starts with the settings file the test left for it
		-- (stored steps, play mode): the sequence starts with the take, which
		-- lasts nine steps of half a second.
		insert_plugin (new_track (strict))
		report ("block", Session:get_block_size ())
		seconds = 4.5
		record_master ("sequenced")
	else
		fail ("unknown phase " .. tostring (phase))
	end
end

if phase == "reload" then
	load_session (folder, "session")
else
	create_session (folder, "session", rate)
end

if not Session then fail ("no session") end

-- Every reference into the session is dropped before it closes.
run ()
collectgarbage ()
close_session ()
report ("done")
