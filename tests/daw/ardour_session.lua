-- Drives Ardour headless (ardour7-lua) the way a user would: a track with the
-- plug-in on it, a parameter turned, the master bus recorded, the session saved
-- and opened again. The test program reads what it prints ("zorvalune: ...")
-- and the recorded files. The master bus is recorded onto a track rather than
-- exported: Ardour 7.3's export, run from Lua, corrupts its heap in about one
-- run in eight.
--
-- Environment: ZORVALUNE_PHASE (create | reload | sidechain | sequencer), ZORVALUNE_SESSION
-- (folder), ZORVALUNE_FORMAT (VST3 | LV2), ZORVALUNE_CHANNELS (1 | 2),
-- ZORVALUNE_STRICT (1 | 0), ZORVALUNE_PARAMETER (index), ZORVALUNE_PARAMETER_NAME,
-- ZORVALUNE_VALUE (normalised).

local phase = os.getenv ("ZORVALUNE_PHASE")
local folder = os.getenv ("ZORVALUNE_SESSION")
local format = os.getenv ("ZORVALUNE_FORMAT")
local channels = tonumber (os.getenv ("ZORVALUNE_CHANNELS") or "1")
local strict = os.getenv ("ZORVALUNE_STRICT") == "1"
local seconds = 1.5   -- each recording
local rate = 48000

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
backend:set_device_name ("Sine Wave 1K, 1/3 Oct")
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

local function record_master (take)
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

local function insert_plugin (track)
	local plugin = ARDOUR.LuaAPI.new_plugin (Session, "Zorvalune", plugin_type (), "")
	if plugin:isnil () then fail ("Ardour does not know the plug-in") end
	if track:add_processor_by_index (plugin, 0, nil, true) ~= 0 then fail ("the track refused the plug-in") end
	return plugin
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
