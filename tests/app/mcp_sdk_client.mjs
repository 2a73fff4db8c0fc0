// A coding agent's side of `tallowmere mcp`, written with the official MCP TypeScript SDK:
// node mcp_sdk_client.mjs TALLOWMERE_EXECUTABLE PROJECT
// Prints one JSON object with what it saw; exits 1 when a step did not go as expected.
import { Client } from "@modelcontextprotocol/sdk/client/index.js";
import { StdioClientTransport } from "@modelcontextprotocol/sdk/client/stdio.js";

const [executable, project] = process.argv.slice(2);
const seen = { steps: [] };
const fail = (message) => {
  seen.failure = message;
  console.log(JSON.stringify(seen));
  process.exit(1);
};
const text = (result) => result.content.map((part) => part.text ?? "").join("\n");

const transport = new StdioClientTransport({
  command: executable,
  args: ["mcp"],
  env: process.env,
  stderr: "inherit",
});
const client = new Client({ name: "tallowmere-test", version: "1.0.0" });
await client.connect(transport);
seen.protocolVersion = transport._protocolVersion ?? null;
seen.server = client.getServerVersion();

const { tools } = await client.listTools();
seen.tools = tools.map((tool) => tool.name);
seen.steps.push("listed");

const started = await client.callTool({ name: "start_project", arguments: { name: project } });
if (started.isError) fail("start_project failed: " + text(started));
seen.started = started.structuredContent;
seen.steps.push("started");

const log = await client.callTool({ name: "read_logs", arguments: { name: project, lines: 20 } });
if (log.isError) fail("read_logs failed: " + text(log));
seen.log = log.structuredContent.lines.map((line) => line.text);
seen.steps.push("read");

const unknown = await client.callTool({
  name: "project_details",
  arguments: { name: "no-such-project" },
});
seen.unknown = { isError: unknown.isError === true, text: text(unknown) };
seen.steps.push("unknown");

const stopped = await client.callTool({ name: "stop_project", arguments: { name: project } });
if (stopped.isError) fail("stop_project failed: " + text(stopped));
seen.stopped = stopped.structuredContent;
seen.steps.push("stopped");

await client.close();
console.log(JSON.stringify(seen));
